#include "CommandTest.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tamberlo::test {

namespace {

namespace fs = std::filesystem;

// Build-tree paths as this process can hand them to a child: under Wine a
// Unix path only works from the Z: drive, so make it a full path.
std::string Absolute(const char* path) { return fs::absolute(fs::path(path)).string(); }

#ifndef _WIN32
constexpr const char* SetprivPath = "/usr/bin/setpriv";
#endif

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

bool CommandTest::CanRunAsStranger() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0 && ::access(SetprivPath, X_OK) == 0;
#endif
}

ToolResult CommandTest::RunAsStranger(const std::vector<std::string>& launcher,
                                      const std::vector<std::string>& arguments) {
#ifdef _WIN32
    static_cast<void>(launcher);
    static_cast<void>(arguments);
    ADD_FAILURE() << "RunAsStranger needs setpriv; see CanRunAsStranger";
    return {};
#else
    // Far above the users a system makes, and new for every call: no
    // process of an earlier call, still ending, counts against a limit.
    static int calls = 0;
    const std::string user = std::to_string(2000000000L + (static_cast<long>(::getpid()) % 100000) * 100 + ++calls);
    // The stranger passes through the test's folders and works in Work().
    fs::permissions(fs::path(Work()).parent_path().parent_path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(Work(), fs::perms::all, fs::perm_options::add);
    std::vector<std::string> started = {"--reuid=" + user, "--regid=" + user, "--clear-groups"};
    started.insert(started.end(), launcher.begin(), launcher.end());
    started.push_back(CommandPath());
    started.insert(started.end(), arguments.begin(), arguments.end());
    ToolResult result = RunTool(SetprivPath, started, Work(), streams_);
    EXPECT_FALSE(result.leftProcesses) << "a process outlived tamberlo";
    return result;
#endif
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

}  // namespace tamberlo::test
