#pragma once

#include "RunFolderTest.h"
#include "TestSupport.h"
#include "ToolRunner.h"

#include <string>
#include <vector>

namespace tamberlo::test {

// The tamberlo command run for real against the SAS stand-in, in the run
// folders of RunFolderTest: the command starts in Work(), its runs use
// Temp(), and each start fails the test if a process outlives the command.
//   class MyCommand : public test::CommandTest {};
//   TEST_F(MyCommand, ...) { EXPECT_EQ(Run({"-e", "..."}).out, ListingPage(1, {"x"})); }
// Link tamberlo_test_command (it knows where the command and stand-in are).
class CommandTest : public RunFolderTest {
public:
    // The command's and the stand-in root's full paths, as a child takes them.
    static const std::string& CommandPath();
    static const std::string& StandInRoot();

protected:
    CommandTest();

    // `tamberlo --sas-root <stand-in> arguments...`
    ToolResult Run(std::vector<std::string> arguments, const std::string& standardInput = {});
    // `tamberlo batch --sas-root <stand-in> arguments...`
    ToolResult Batch(std::vector<std::string> arguments);
    // `tamberlo scan arguments...`
    ToolResult Scan(std::vector<std::string> arguments);
    // `tamberlo arguments...`, nothing added.
    ToolResult RunBare(const std::vector<std::string>& arguments, const std::string& standardInput = {});
    // Writes `text` to Work(name), making the folders on the way.
    void WriteWork(const std::string& name, const std::string& text) const;

    // True when RunAsStranger can work: this process is root (whom neither
    // permissions nor process limits bind) and setpriv is installed.
    static bool CanRunAsStranger();
    // `tamberlo arguments...` as RunBare, started as a user of its own that
    // owns no process (so that a process limit counts the command's alone),
    // through `launcher` first (e.g. {"/usr/bin/prlimit", "--nproc=2"}).
    // Work() is opened to that user; Temp() keeps its mode (0777 lets the
    // stranger write there).
    ToolResult RunAsStranger(const std::vector<std::string>& launcher, const std::vector<std::string>& arguments);

private:
    std::string streams_;
    // The command writes GitHub Actions annotations when it runs in a
    // GitHub Actions job, as the tests themselves may: only a test that
    // asks for them gets them.
    ScopedEnvironment notInGitHubActions_{"GITHUB_ACTIONS", ""};
};

// One listing page of the stand-in: a form feed (shown cleaned as %12 unless
// raw), the title line with the page number, an empty line, the lines.
std::string ListingPage(int page, const std::vector<std::string>& lines, bool raw = false);

}  // namespace tamberlo::test
