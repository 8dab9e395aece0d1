#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tamberlo::test {

// How the tests start a program: the command, the stand-in, a tool.
struct ChildLaunch {
    // The program and its arguments, passed on as they are (on Windows
    // UTF-8, quoted into a command line that the C runtime reads back the
    // same)...
    std::vector<std::string> arguments;
    // ...or, when not empty, a whole Windows command line, passed to
    // CreateProcess as it is and split by the Windows rules on POSIX: the
    // way Tamberlo starts SAS.
    std::string commandLine;
    // Added to the test's own environment, replacing variables of the same
    // name; inherited variables whose names start with `dropPrefix` (when
    // not empty) are left out.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string dropPrefix;
    std::string directory;  // the child's current folder; empty: the test's own
    // Standard streams: files, the output ones replaced; empty: the null device.
    std::string input;
    std::string output;
    std::string error;
};

struct ChildResult {
    int exitCode = -1;  // on POSIX 128 + the signal's number if a signal ended it
    int signal = 0;     // POSIX: the signal that ended it; 0 when it exited
    // Processes that the child started and that were still running when it
    // had ended. POSIX: the child runs in a process group of its own and the
    // group is probed; Windows: processes whose parent it was.
    bool leftProcesses = false;
};

// A started child. One that has not been waited for when its owner goes (a
// failed assertion) is killed and waited for, so that no test leaves a
// process behind.
class ChildProcess {
public:
    // Throws std::runtime_error when the program cannot be started.
    explicit ChildProcess(const ChildLaunch& launch);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

#ifndef _WIN32
    // Sends SIGINT to the child's process group, as Ctrl-C in a terminal does.
    void Interrupt();
    // Sends SIGTERM to the child alone, as `kill` does.
    void Terminate();
    // Sends SIGKILL to the child alone, as `kill -9` does.
    void Kill();
    // The processes still running in the child's session (it has one of
    // its own): whatever it started, once it has ended.
    std::vector<unsigned long> LeftInSession() const;
    // The child's process id.
    unsigned long Id() const;
#endif
    ChildResult Wait();

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

// Starts the child and waits for it.
ChildResult RunChild(const ChildLaunch& launch);

// The arguments that a Windows C runtime makes of `commandLine`.
std::vector<std::string> SplitWindowsCommandLine(const std::string& commandLine);

// The command line that a Windows C runtime splits back into `arguments`.
std::string WindowsCommandLine(const std::vector<std::string>& arguments);

}  // namespace tamberlo::test
