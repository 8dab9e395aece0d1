#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tamberlo::standin::test {

// Starts a program from a Windows-style command line and waits for it, the
// way Tamberlo starts SAS: Windows passes the line to CreateProcessA as it
// is; POSIX splits it by the Windows quoting rules and uses posix_spawn.
class ChildProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    struct Launch {
        std::string commandLine;
        // Added to the test's own environment (replacing a variable of the
        // same name); inherited TAMBERLO_STANDIN_* variables are dropped.
        Environment environment;
        std::string directory;  // current directory of the child; empty: inherit
        // Standard streams: files (output ones are replaced); empty: the
        // null device.
        std::string input;
        std::string output;
        std::string error;
    };

    // The exit code; on POSIX 128 + the signal number if a signal ended it.
    // Throws std::runtime_error if the program cannot be started.
    static int Run(const Launch& launch);

    // The arguments that a Windows C runtime makes of `commandLine`.
    static std::vector<std::string> SplitCommandLine(const std::string& commandLine);
};

}  // namespace tamberlo::standin::test
