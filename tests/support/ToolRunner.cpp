#include "ToolRunner.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tamberlo::test {

ToolResult RunTool(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingFolder, const std::string& scratchFolder,
                   const std::string& standardInput) {
    ChildLaunch launch;
    launch.arguments.push_back(program);
    launch.arguments.insert(launch.arguments.end(), arguments.begin(), arguments.end());
    launch.directory = workingFolder;
    launch.input = scratchFolder + "stdin.bin";
    launch.output = scratchFolder + "stdout.bin";
    launch.error = scratchFolder + "stderr.bin";
    WriteFile(launch.input, standardInput);

    ToolResult result;
    try {
        const ChildResult ended = RunChild(launch);
        result.exitCode = ended.exitCode;
        result.leftProcesses = ended.leftProcesses;
    } catch (const std::runtime_error& failure) {
        ADD_FAILURE() << program << " could not be started: " << failure.what();
        return result;
    }
    result.out = ReadFile(launch.output);
    result.err = ReadFile(launch.error);
    return result;
}

}  // namespace tamberlo::test
