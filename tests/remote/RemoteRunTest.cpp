#include "CommandTest.h"
#include "SshServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace tamberlo::test {
namespace {

using testing::HasSubstr;
namespace fs = std::filesystem;

// The command run through a real sshd on this machine, the built tamberlo
// as the remote's, with the stand-in as its SAS: the remote's run folders go
// in a temporary folder of the test's own, so that what a run leaves there
// is seen.
class RemoteRun : public CommandTest {
protected:
    // Starts the server; `sessionEnvironment` is added to its sessions'.
    void StartServer(std::vector<std::pair<std::string, std::string>> sessionEnvironment = {}) {
        server_.reset();
        const std::string number = std::to_string(++servers_);
        remoteTemp_ = MakeFolder("remote-temp" + number);
        SshServerSettings settings;
        settings.environment = std::move(sessionEnvironment);
        settings.environment.emplace_back("TMPDIR", remoteTemp_);
        if (std::optional<std::string> guard = GetEnvironment("TAMBERLO_GUARD"))
            settings.environment.emplace_back("TAMBERLO_GUARD", *guard);
        server_ = std::make_unique<SshServer>(MakeFolder("sshd" + number), settings);
    }

    // --remote and the options that reach the server.
    std::vector<std::string> RemoteArguments() const {
        std::vector<std::string> arguments{"--remote", server_->Destination(), "--remote-command", CommandPath()};
        for (const std::string& option : server_->ClientOptions()) {
            arguments.push_back("--ssh-option");
            arguments.push_back(option);
        }
        return arguments;
    }

    ToolResult RunRemote(std::vector<std::string> arguments) {
        const std::vector<std::string> remote = RemoteArguments();
        arguments.insert(arguments.begin(), remote.begin(), remote.end());
        return Run(arguments);
    }

    // Waits (at most `seconds`) until nothing of the remote side runs and
    // its temporary folder is empty; true when it came to that.
    bool RemoteLeftNothing(int seconds = 5) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            const bool clean = server_->SessionProcesses().empty() && ListFolder(remoteTemp_).empty();
            if (clean || std::chrono::steady_clock::now() > deadline) return clean;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::unique_ptr<SshServer> server_;
    std::string remoteTemp_;
    int servers_ = 0;
};

// Two runs of one program differ in the times SAS reports and in the
// temporary paths of their put files.
std::string WithoutRunTimes(const std::string& text) {
    static const std::regex times("(real|cpu) time +[0-9.]+ seconds");
    static const std::regex putFiles("/[^ ',\"]*tmpPutFile_PUT([0-9]+)_[0-9_]+\\.put");
    static const std::regex paths("\"path\": ?\"[^\"]*\"");
    const std::string timed = std::regex_replace(text, times, "$1 time");
    return std::regex_replace(std::regex_replace(timed, putFiles, "PUT$1"), paths, "\"path\"");
}

TEST_F(RemoteRun, EndsAsTheSameRunMadeLocally) {
    StartServer();
    WriteWork("report.sas", "data _null_; file print; put \"&region. &SYSPARM\"; run;\r\n");
    const std::string hostile = "a'b\"c %x &y; \xc3\xa9 -- $(id) `id`";
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        const char* putDir;  // compared after the run, when set
    } rows[] = {
        {"listing and log", {"-e", "data _null_; file print; put 'hello'; run;"}, nullptr},
        {"a program file", {"--let", "region=north", "--sysparm", "S012", "report.sas"}, nullptr},
        {"hostile values", {"--let", "region=" + hostile, "--sysparm", hostile, "report.sas"}, nullptr},
        {"an error line, checked", {"--check", "-e", "data _null_; put 'ERROR: no data'; run;"}, nullptr},
        {"SAS's exit code", {"-e", "data _null_; abort return 7; run;"}, nullptr},
        {"JSON with put files", {"--json", "-e", WritesToPutFile(1) + WritesToPutFile(2)}, nullptr},
        {"put files in a folder", {"--put-dir", "out", "-e", WritesToPutFile(3)}, "out"},
        {"followed", {"--follow", "-e", "data _null_; put 'NOTE: followed'; run;"}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ToolResult local = Run(row.arguments);
        std::vector<std::string> localPut;
        if (row.putDir) localPut = {ReadFile(Work(row.putDir) + "/_PUT3.txt")};
        if (row.putDir) fs::remove_all(Work(row.putDir));
        const ToolResult remote = RunRemote(row.arguments);
        EXPECT_EQ(remote.exitCode, local.exitCode);
        EXPECT_EQ(WithoutRunTimes(remote.out), WithoutRunTimes(local.out));
        EXPECT_EQ(WithoutRunTimes(remote.err), WithoutRunTimes(local.err));
        if (row.putDir) {
            EXPECT_EQ(ReadFile(Work(row.putDir) + "/_PUT3.txt"), localPut.at(0));
        }
        EXPECT_TRUE(RemoteLeftNothing());
    }
}

TEST_F(RemoteRun, SendsNestedFoldersIntoTheRunsOwnFolder) {
    StartServer();
    WriteWork("project/macros/deeper/part.sas", "data _null_; file print; put 'from the part'; run;\n");
    WriteWork("project/main.sas", "%include \"&TAMBERLO_SENT/project/macros/deeper/part.sas\";\n");
    const ToolResult remote = RunRemote({"--send", Work("project"), Work("project/main.sas")});
    EXPECT_EQ(remote.exitCode, 0) << remote.err;
    EXPECT_EQ(remote.out, ListingPage(1, {"from the part"}));
    EXPECT_TRUE(RemoteLeftNothing());
}

TEST_F(RemoteRun, FailsToConnectWithSshsWordsAndWhatToDo) {
    // A tamberlo of an older protocol answers as the remote side does.
    const std::string said = "protocol 1 asked; tamberlo 0.9.0 speaks protocol 0";
    WriteWork("old-tamberlo", "#!/bin/sh\nprintf 'TAMBERLO-REMOTE 0 0.9.0\\nERROR " + std::to_string(said.size()) +
                                  "\\n" + said + "'\nexit 3\n");
    fs::permissions(Work("old-tamberlo"), fs::perms::owner_all);
    const struct {
        const char* name;
        void (SshServer::*fault)() const;
        std::vector<std::string> arguments;
        std::vector<std::string> said;
    } rows[] = {
        {"unknown host key",
         &SshServer::ForgetHostKey,
         {},
         {"Host key verification failed; the host's key is not known here", "ssh-keyscan -p "}},
        {"changed host key",
         &SshServer::ChangeHostKey,
         {},
         {"REMOTE HOST IDENTIFICATION HAS CHANGED", "ssh-keygen -R '[127.0.0.2]:"}},
        {"refused key",
         &SshServer::RefuseUserKey,
         {},
         {"Permission denied (publickey); the remote accepted no key of this user without a prompt"}},
        {"no tamberlo there",
         nullptr,
         {"--remote-command", "/nonexistent/tamberlo"},
         {"/nonexistent/tamberlo: No such file or directory; the remote has no command /nonexistent/tamberlo: "
          "install tamberlo there, or name it with --remote-command PATH"}},
        {"an old protocol",
         nullptr,
         {"--remote-command", "OLD"},
         {"the remote's tamberlo 0.9.0 speaks protocol 0, this tamberlo ",
          " protocol 1; install the same version on both "
          "sides: protocol 1 asked"}},
        {"nothing listening",
         nullptr,
         {"--remote", "127.0.0.2:1"},
         {"ssh 127.0.0.2:1: ssh: connect to host 127.0.0.2 port 1: Connection refused; nothing listens for ssh "
          "there"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartServer();
        if (row.fault) (server_.get()->*row.fault)();
        const std::string knownHosts = ReadFile(server_->KnownHosts());
        std::vector<std::string> arguments = RemoteArguments();
        for (const std::string& argument : row.arguments)
            arguments.push_back(argument == "OLD" ? Work("old-tamberlo") : argument);
        arguments.insert(arguments.end(), {"-e", "data _null_; run;"});
        const ToolResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 3);
        EXPECT_THAT(result.err, testing::StartsWith("tamberlo: Execute method: "));
        for (const std::string& said : row.said) EXPECT_THAT(result.err, HasSubstr(said));
        EXPECT_EQ(ReadFile(server_->KnownHosts()), knownHosts) << "known_hosts changed";
    }
}

// However this side ends, the remote side stops SAS's whole tree and
// removes its run folder.
TEST_F(RemoteRun, LeavesNothingOnTheRemoteWhenThisSideEnds) {
    StartServer();
    const struct {
        const char* name;
        std::function<void(ChildProcess&, const SshServer&)> end;
        int exitCode;
    } rows[] = {
        {"Ctrl-C", [](ChildProcess& command, const SshServer&) { command.Interrupt(); }, 130},
        {"SIGTERM", [](ChildProcess& command, const SshServer&) { command.Terminate(); }, 130},
        {"kill -9", [](ChildProcess& command, const SshServer&) { command.Kill(); }, 128 + 9},
        {"the connection lost", [](ChildProcess&, const SshServer& server) { server.KillConnections(); }, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ChildLaunch launch;
        launch.arguments = RemoteArguments();
        launch.arguments.insert(launch.arguments.begin(), {CommandPath(), "--sas-root", StandInRoot()});
        // A SAS that ends when asked to: the remote side's own part is timed.
        launch.arguments.insert(launch.arguments.end(), {"-e", "data _null_; call sleep(60, 1); run;"});
        launch.error = Work("stderr");
        ChildProcess command(launch);
        // The stand-in sleeps once it runs on the remote.
        const auto started = [&] {
            for (const unsigned long pid : server_->SessionProcesses()) {
                if (ReadFile("/proc/" + std::to_string(pid) + "/cmdline").find(StandInRoot()) == 0) return true;
            }
            return false;
        };
        for (int wait = 0; wait < 3000 && !started(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(started()) << ReadFile(Work("stderr"));
        row.end(command, *server_);
        EXPECT_EQ(command.Wait().exitCode, row.exitCode) << ReadFile(Work("stderr"));
        EXPECT_TRUE(RemoteLeftNothing()) << "left on the remote: " << server_->SessionProcesses().size()
                                         << " processes, " << ListFolder(remoteTemp_).size() << " files";
    }
}

}  // namespace
}  // namespace tamberlo::test
