#include "CommandTest.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tamberlo::test {

namespace {

namespace fs = std::filesystem;

// Build-tree paths as this process can hand them to a child: under Wine a
// Unix path only works from the Z: drive, so make it a full path.
std::string Absolute(const char* path) { return fs::absolute(fs::path(path)).string(); }

}  // namespace

CommandTest::CommandTest() : streams_(MakeFolder("streams")) {}

ToolResult CommandTest::Run(std::vector<std::string> arguments, const std::string& standardInput) {
    arguments.insert(arguments.begin(), {"--sas-root", StandInRoot()});
    return RunBare(arguments, standardInput);
}

ToolResult CommandTest::Batch(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"batch", "--sas-root", StandInRoot()});
    return RunBare(arguments);
}

ToolResult CommandTest::Scan(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "scan");
    return RunBare(arguments);
}

ToolResult CommandTest::RunBare(const std::vector<std::string>& arguments, const std::string& standardInput) {
    ToolResult result = RunTool(CommandPath(), arguments, Work(), streams_, standardInput);
    EXPECT_FALSE(result.leftProcesses) << "a process outlived tamberlo";
    return result;
}

void CommandTest::WriteWork(const std::string& name, const std::string& text) const {
    fs::create_directories(fs::path(Work(name)).parent_path());
    WriteFile(Work(name), text);
}

const std::string& CommandTest::CommandPath() {
    static const std::string path = Absolute(TAMBERLO_EXE);
    return path;
}

const std::string& CommandTest::StandInRoot() {
    static const std::string root = Absolute(TAMBERLO_SAS_ROOT_DIR);
    return root;
}

std::string ListingPage(int page, const std::vector<std::string>& lines, bool raw) {
    const std::string number = std::to_string(page);
    std::string header = std::string(33, ' ') + "The SAS System";
    header += std::string(81 - header.size() - number.size(), ' ') + number;
    std::string text = (raw ? "\f" : "%12") + header + "\r\n\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string PrintStep(const std::string& line) { return "data _null_; file print; put '" + line + "'; run;"; }

std::string ReportSection(const std::string& report, const std::string& heading, const std::string& next) {
    const std::string start = heading + "\r\n" + std::string(heading.size(), '-') + "\r\n";
    const std::size_t from = report.find(start);
    const std::size_t to = report.find("\r\n\r\n" + next + "\r\n", from);
    if (from == std::string::npos || to == std::string::npos) {
        ADD_FAILURE() << "no section " << heading << " before " << next;
        return {};
    }
    return report.substr(from + start.size(), to - from - start.size());
}

}  // namespace tamberlo::test
