#pragma once

#include <string>
#include <vector>

namespace tamberlo::test {

// What a program started by RunTool did.
struct ToolResult {
    int exitCode = -1;
    std::string out;  // standard output, byte for byte
    std::string err;  // standard error, byte for byte
    // Processes that the program started and that were still running when it
    // had ended. POSIX: the program runs in a process group of its own and
    // the group is probed; Windows: processes whose parent it was.
    bool leftProcesses = false;
};

// Starts `program` with `arguments` (no shell), in `workingFolder`, with the
// environment of this process, standard input read from `standardInput`,
// and waits for it. Standard streams pass through files in `scratchFolder`
// (stdin.bin, stdout.bin, stderr.bin). Fails the test if the program
// cannot be started.
ToolResult RunTool(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingFolder, const std::string& scratchFolder,
                   const std::string& standardInput = {});

}  // namespace tamberlo::test
