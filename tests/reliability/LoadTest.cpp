// Many runs at once: threads of one process, each with its own CodeRunner,
// and several processes of the same kind side by side. No two runs may share
// a file, every result must be its own run's, a thread's switches must never
// show on another, and afterwards the temporary folder holds nothing.

#include "LoadRun.h"
#include "ReliabilityTest.h"

#include "host/ExecCmd.h"

#include <set>
#include <sstream>
#include <thread>

using namespace tamberlo;
using namespace tamberlo::reliability;
using namespace tamberlo::reliability::test;

namespace {

class Load : public CleanRunTest {
protected:
    // Every file used once only, and none of them left.
    void ExpectFilesUsedOnceAndGone(const std::vector<std::string>& files, std::size_t expected) {
        EXPECT_EQ(files.size(), expected);
        const std::set<std::string> distinct(files.begin(), files.end());
        EXPECT_EQ(distinct.size(), files.size()) << "two runs shared a file";
        for (const std::string& file : distinct) {
            EXPECT_THAT(file, testing::StartsWith(temp.Path()));
            EXPECT_FALSE(Exists(file)) << file;
        }
    }
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Windows makes the event of a critical section the first time a thread has
// to wait for it, and keeps it as long as the section lives: threads meeting
// in the system's own sections leave a few such handles, once per process.
#ifdef _WIN32
constexpr std::size_t FirstContentionHandles = 8;
#else
constexpr std::size_t FirstContentionHandles = 0;
#endif

}  // namespace

TEST_F(Load, EightThreadsWithARunnerEachKeepTheirRunsApart) {
    LoadOptions options;
    options.sasRoot = StandInRoot;
    options.threads = 8;
    options.runsPerThread = LOAD_RUNS_PER_THREAD;
    options.tag = "inprocess";
    const LoadReport report = RunLoad(options);

    EXPECT_EQ(report.runs, options.threads * options.runsPerThread);
    for (std::size_t i = 0; i < report.failures.size() && i < 20; ++i) ADD_FAILURE() << report.failures[i];
    EXPECT_THAT(report.failures, IsEmpty());
    // A log file and two put files a run.
    ExpectFilesUsedOnceAndGone(report.files, 3u * static_cast<std::size_t>(report.runs));
    ExpectNothingLeft({}, FirstContentionHandles);
}

TEST_F(Load, FourProcessesOfEightThreadsAtOnceKeepTheirRunsApart) {
    constexpr int Processes = 4;
    constexpr int Threads = 8;
    std::vector<std::thread> starters;
    for (int p = 0; p < Processes; ++p) {
        // Each process inherits this test's temporary folder. The root goes
        // without its final separator: a backslash before the closing
        // quotation mark would escape it.
        const std::string cmdline = Quoted(LOAD_DRIVER) + " " + Quoted(STANDIN_SAS_ROOT) + " " +
                                    std::to_string(Threads) + " " + std::to_string(DRIVER_RUNS_PER_THREAD) +
                                    " process" + std::to_string(p) + " " +
                                    Quoted(work / ("report" + std::to_string(p)));
        starters.emplace_back([cmdline] { ExecCmd().Run(cmdline); });
    }
    for (std::thread& starter : starters) starter.join();

    std::vector<std::string> files;
    for (int p = 0; p < Processes; ++p) {
        std::istringstream report(ReadFile(work / ("report" + std::to_string(p))));
        std::string line;
        ASSERT_TRUE(std::getline(report, line)) << "process " << p << " wrote no report";
        EXPECT_EQ(line, "runs " + std::to_string(Threads * DRIVER_RUNS_PER_THREAD)) << "process " << p;
        int failures = 0;
        while (std::getline(report, line)) {
            if (line.rfind("file ", 0) == 0) {
                files.push_back(line.substr(5));
            } else if (++failures <= 20) {
                ADD_FAILURE() << "process " << p << ": " << line;
            }
        }
        EXPECT_EQ(failures, 0) << "process " << p;
    }
    ExpectFilesUsedOnceAndGone(files, 3u * Processes * Threads * DRIVER_RUNS_PER_THREAD);
    ExpectNothingLeft({}, FirstContentionHandles);
}
