#include "ProcessProbe.h"
#include "TestSupport.h"
#include "host/ExecCmd.h"
#include "host/SystemError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ProbeCommand(const std::string& report, int waitMs = 0) {
    return Quoted(CHILD_PROBE) + " " + Quoted(report) + (waitMs ? " " + std::to_string(waitMs) : "");
}

}  // namespace

TEST(ExecCmd, ReturnsOnlyAfterTheChildHasEnded) {
    test::TempFolder dir;
    // The child writes its report only after waiting: if Run returned early,
    // the report would not be there yet.
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 400));
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended);
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, ChildSeesParentEnvironmentCurrentFolderAndArguments) {
    test::TempFolder dir;
    test::ScopedEnvironment probe("TAMBERLO_PROBE", "from the parent");
    ExecCmd().Run(ProbeCommand(dir / "report.txt") + " \"two words\" a\\\\\\\"b");
    const std::string report = test::ReadFile(dir / "report.txt");
    EXPECT_THAT(report, HasSubstr("env=from the parent\n"));
    EXPECT_THAT(report, HasSubstr("cwd=" + std::filesystem::current_path().string() + "\n"));
    EXPECT_THAT(report, HasSubstr("arg=two words\narg=a\\\"b\n"));
}

#ifdef _WIN32
TEST(ExecCmd, ChildIsAskedForAHiddenWindowAtNormalPriority) {
    test::TempFolder dir;
    ExecCmd().Run(ProbeCommand(dir / "report.txt"));
    const std::string report = test::ReadFile(dir / "report.txt");
    EXPECT_THAT(report, HasSubstr("flags=1\n"));        // STARTF_USESHOWWINDOW
    EXPECT_THAT(report, HasSubstr("show=0\n"));         // SW_HIDE
    EXPECT_THAT(report, HasSubstr("priority=32\n"));    // NORMAL_PRIORITY_CLASS
}
#endif

TEST(ExecCmd, AMissingProgramIsReportedAtOnceWithTheSystemsReason) {
    test::TempFolder dir;
    const ExecCmd::Result result = ExecCmd().Run(Quoted(dir / "no-such-program.exe") + " -x");
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::NotStarted);
#ifdef _WIN32
    const unsigned long fileNotFound = 2;  // ERROR_FILE_NOT_FOUND
#else
    const unsigned long fileNotFound = ENOENT;
#endif
    EXPECT_EQ(result.failure, SystemMessage(fileNotFound));
}

TEST(ExecCmd, AnEmptyCommandLineIsNotStarted) {
    EXPECT_EQ(ExecCmd().Run("").outcome, ExecCmd::Outcome::NotStarted);
}

TEST(ExecCmd, TimeLimitStopsTheChildAndReportsIt) {
    test::TempFolder dir;
    ExecCmd::Options options;
    options.timeLimit = std::chrono::milliseconds(300);
    int ticks = 0;
    options.whileWaiting = [&] { ++ticks; };
    options.pollInterval = std::chrono::milliseconds(50);
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 20000), options);
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::TimedOut);
    EXPECT_GT(ticks, 0);
    // Stopped before it could write its report.
    EXPECT_FALSE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, WhileWaitingRunsUntilTheChildEndsOnItsOwn) {
    test::TempFolder dir;
    ExecCmd::Options options;
    int ticks = 0;
    options.whileWaiting = [&] { ++ticks; };
    options.pollInterval = std::chrono::milliseconds(20);
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 300), options);
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended);
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, LeavesNoHandleOpenWhetherTheChildEndsIsStoppedOrNeverStarts) {
    test::TempFolder dir;
    ExecCmd().Run(ProbeCommand(dir / "warm.txt"));  // first-use allocations aside
    const std::size_t before = reliability::OpenHandleCount();
    for (int i = 0; i < 5; ++i) {
        ExecCmd().Run(ProbeCommand(dir / "report.txt"));
        ExecCmd::Options stop;
        stop.timeLimit = std::chrono::milliseconds(50);
        ExecCmd().Run(ProbeCommand(dir / "slow.txt", 5000), stop);
        ExecCmd().Run("\"" + dir / "missing.exe" + "\"");
    }
    EXPECT_EQ(reliability::OpenHandleCount(), before);
}
