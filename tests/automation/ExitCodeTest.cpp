// SAS's own exit code, through CodeRunner, from the stand-in run for real.
#include "RunnerTestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tamberlo;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

const std::string StandinRoot =
    std::string(STANDIN_SAS_ROOT) + static_cast<char>(std::filesystem::path::preferred_separator);

// An exit code is 8 bits on POSIX (300 arrives as 300 & 255); Windows keeps
// all 32.
#ifdef _WIN32
constexpr int Code300 = 300;
#else
constexpr int Code300 = 300 & 255;
#endif

struct ExitCase {
    const char* program;
    int code;
    const char* logLine;  // a line the log must hold, or ""
};

}  // namespace

TEST(ExitCode, CodeRunnerHandsBackSASsExitCodeOfTheLastRun) {
    const ExitCase cases[] = {
        {"%put fine;", 0, ""},
        {"filename nothing;", 1, "WARNING: No logical assign for filename NOTHING.\r\n"},
        {"foo;", 2, "ERROR 180-322: Statement is not valid or it is used out of proper order.\r\n"},
        {"data _null_; abort; run;", 3,
         "ERROR: Execution terminated by an ABORT statement at line 2 column 14; SAS ends with exit code 3.\r\n"},
        {"data _null_; abort return; run;", 4,
         "ERROR: Execution terminated by an ABORT RETURN statement at line 2 column 14; SAS ends with exit code 4.\r\n"},
        {"data _null_; abort abend; run;", 5,
         "ERROR: Execution terminated by an ABORT ABEND statement at line 2 column 14; SAS ends with exit code 5.\r\n"},
        {"data _null_; abort return 300; run;", Code300,
         "ERROR: Execution terminated by an ABORT RETURN statement at line 2 column 14; SAS ends with exit code 300.\r\n"},
    };
    test::TempFolder temp;
    test::ScopedTempDirectory scoped(temp.Path());
    for (const ExitCase& c : cases) {
        SCOPED_TRACE(c.program);
        CodeRunner runner;
        EXPECT_EQ(runner.LastExitCode(), std::nullopt) << "before SAS has run";
        runner.SetSASCode(c.program);
        EXPECT_EQ(runner.Execute(StandinRoot), "OK");
        EXPECT_EQ(runner.LastExitCode(), c.code);
        EXPECT_THAT(runner.Log(), HasSubstr(c.logLine));
        runner.Reset();
        EXPECT_EQ(runner.LastExitCode(), std::nullopt) << "after Reset";
    }
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
}

TEST(ExitCode, AbortEndsTheRunWhereItStands) {
    test::TempFolder temp;
    test::ScopedTempDirectory scoped(temp.Path());
    CodeRunner runner;
    runner.SetSafeFormChar(false);
    runner.SetSASCode("data _null_; file _PUT1; put 'before'; abort return 7; put 'after'; run;");
    runner.SetSASCode("%put never;");
    EXPECT_EQ(runner.Execute(StandinRoot), "OK");
    EXPECT_EQ(runner.LastExitCode(), 7);
    EXPECT_EQ(runner.PutFile(1), "before\r\n");
    EXPECT_EQ(runner.Log().find("never"), std::string::npos) << "the rest of the program ran";
}
