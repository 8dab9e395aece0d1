#include "SshServer.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>
#include <vector>

namespace tamberlo::test {
namespace {

// A process that has not ended (a zombie has).
bool Runs(unsigned long pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// The fixture's own promise: its client reaches it with the files it made,
// and nothing it started outlives it.
TEST(SshServer, TakesItsClientAndLeavesNothingRunning) {
    TempFolder folder;
    std::vector<unsigned long> started;
    {
        SshServer server(folder / "sshd");
        ChildLaunch launch;
        launch.arguments = {"/usr/bin/ssh",     "-F", server.ClientConfig(),        "-o", "BatchMode=yes",
                            SshServer::Address, "--", "echo reached; exec sleep 60"};
        launch.output = folder / "out";
        ChildProcess client(launch);
        for (int wait = 0; wait < 2000 && ReadFile(folder / "out").empty(); ++wait) ::usleep(10000);
        EXPECT_EQ(ReadFile(folder / "out"), "reached\n");
        started = server.SessionProcesses();
        EXPECT_FALSE(started.empty());
    }
    for (const unsigned long pid : started) EXPECT_FALSE(Runs(pid)) << pid;
}

}  // namespace
}  // namespace tamberlo::test
