// A batch whose guard loses one reaper (killed, as the OOM killer may pick
// it): only that reaper's program fails, saying what happened; the runs of
// the other reapers go on untouched.

#include "ChildProcess.h"
#include "CommandTest.h"
#include "ProcessProbe.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>
#include <vector>

using testing::HasSubstr;

namespace {

class GuardOfABatch : public tamberlo::test::CommandTest {};

// The guard's reapers of process `pid` that run a program now.
std::vector<unsigned long> BusyReapers(unsigned long pid) {
    std::vector<unsigned long> busy;
    const std::vector<unsigned long> guards = tamberlo::reliability::GuardProcessesOf(pid);
    for (std::size_t i = 1; i < guards.size(); ++i)
        if (!tamberlo::reliability::ChildProcessesOf(guards[i]).empty()) busy.push_back(guards[i]);
    return busy;
}

}  // namespace

TEST_F(GuardOfABatch, AKilledReaperFailsItsOwnProgramAloneAndSaysSo) {
    using namespace tamberlo;
    const std::vector<std::string> names = {"p1", "p2", "p3", "p4"};
    for (const std::string& name : names) WriteWork("kb/" + name + ".sas", "%put hi;\n");
    test::ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "6");
    test::ChildLaunch launch;
    launch.arguments = {CommandPath(), "batch",  "--sas-root",   StandInRoot(), "-j",
                        "2",           "--json", Work("r.json"), Work("kb")};
    launch.directory = Work();
    test::ChildProcess batch(launch);

    std::vector<unsigned long> busy;
    for (int wait = 0; wait < 400 && busy.size() < 2; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        busy = BusyReapers(batch.Id());
    }
    ASSERT_EQ(busy.size(), 2U) << "two programs never ran at once";
    ::kill(static_cast<pid_t>(busy.front()), SIGKILL);

    const test::ChildResult ended = batch.Wait();
    EXPECT_EQ(ended.signal, 0);
    EXPECT_FALSE(ended.leftProcesses);
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r.json")));
    EXPECT_EQ(report.at("exitStatus"), ended.exitCode);
    std::map<std::string, int> verdicts;
    for (const nlohmann::json& program : report.at("programs")) {
        const std::string verdict = program.at("verdict");
        ++verdicts[verdict];
        if (verdict != "clean") {
            EXPECT_THAT(std::string(program.at("problem")),
                        HasSubstr("the process guard's reaper of the run ended before it reported the program's end"))
                << program.dump();
        }
    }
    EXPECT_EQ(verdicts, (std::map<std::string, int>{{"clean", 3}, {"error", 1}}));
    EXPECT_NE(ended.exitCode, 0);
}
