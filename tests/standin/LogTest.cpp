#include "StandinTest.h"

namespace tamberlo::standin::test {
namespace {

using StandinLog = StandinTest;

constexpr const char* StepNote =
    "NOTE: DATA statement used (Total process time):\r\n"
    "      real time           x.xx seconds\r\n"
    "      cpu time            x.xx seconds\r\n"
    "\r\n";

// The last lines of every log.
constexpr const char* SessionNote =
    "\r\n"
    "NOTE: The SAS System used:\r\n"
    "      real time           x.xx seconds\r\n"
    "      cpu time            x.xx seconds\r\n"
    "\r\n";

TEST_F(StandinLog, UnknownStatementIsUnderlinedAndTheRunGoesOn) {
    const int code =
        Run("data _null_; put 'before'; run;\r\n"
            "  foo bar;\r\n"
            "%put after;\r\n");
    EXPECT_EQ(2, code);
    EXPECT_EQ(std::string("1          data _null_; put 'before'; run;\r\n"
                          "before\r\n") +
                  StepNote +
                  "2            foo bar;\r\n"
                  "             ---\r\n"
                  "             180\r\n"
                  "ERROR 180-322: Statement is not valid or it is used out of proper order.\r\n"
                  "3          %put after;\r\n"
                  "after\r\n"
                  "ERROR: Errors printed on page 1.\r\n" +
                  SessionNote,
              MaskTimes(Read(log_).value_or("<no log>")));
}

TEST_F(StandinLog, UnknownStatementInsideAStepStopsThatStep) {
    const std::string put = folder_ / "out.put";
    EXPECT_EQ(2, Run("filename out '" + put + "';\ndata _null_;\n  file out;\n  put 'x';\n  x = 1;\nrun;\n"));
    const std::string log = MaskTimes(Read(log_).value_or("<no log>"));
    EXPECT_NE(std::string::npos, log.find("5            x = 1;\r\n"
                                          "             -\r\n"
                                          "             180\r\n"
                                          "ERROR 180-322: Statement is not valid or it is used out of proper order.\r\n"
                                          "6          run;\r\n"
                                          "NOTE: The SAS System stopped processing this step because of errors.\r\n"
                                          "NOTE: DATA statement used"));
    EXPECT_FALSE(Exists(put));
}

TEST_F(StandinLog, StatementsOutsideAStepAndUnknownProceduresAreErrors) {
    EXPECT_EQ(2, Run("put 'x';\nproc means data=a;\n  var b;\nrun;\n"));
    const std::string expected(
        "1          put 'x';\r\n"
        "           ---\r\n"
        "           180\r\n"
        "ERROR 180-322: Statement is not valid or it is used out of proper order.\r\n"
        "2          proc means data=a;\r\n"
        "ERROR: Procedure MEANS not found.\r\n"
        "3            var b;\r\n"
        "4          run;\r\n"
        "NOTE: The SAS System stopped processing this step because of errors.\r\n"
        "NOTE: PROCEDURE MEANS used (Total process time):\r\n"
        "      real time           x.xx seconds\r\n"
        "      cpu time            x.xx seconds\r\n"
        "\r\n"
        "ERROR: Errors printed on page 1.\r\n");
    EXPECT_EQ(expected, MaskTimes(Read(log_).value_or("<no log>")).substr(0, expected.size()));
}

TEST_F(StandinLog, EndsasStopsAtOnce) {
    const std::string put = folder_ / "out.put";
    EXPECT_EQ(0, Run("filename _PUT1 '" + put +
                     "' mod;\n"
                     "data _null_; file _PUT1; put 'never';\n"
                     "endsas;\n"
                     "run;\n"
                     "foo;\n"));
    EXPECT_EQ("1          filename _PUT1 '" + put +
                  "' mod;\r\n"
                  "2          data _null_; file _PUT1; put 'never';\r\n"
                  "3          endsas;\r\n" +
                  SessionNote,
              MaskTimes(Read(log_).value_or("<no log>")));
    EXPECT_FALSE(Exists(put));
}

TEST_F(StandinLog, CommentsQuotesAndStepWithoutRun) {
    EXPECT_EQ(0, Run("/* a comment; over\n"
                     "   two lines */ * a statement comment;\n"
                     "%* a macro comment;\n"
                     "data _null_;\n"
                     "  put 'semi;colon' \"it\"\"s\" 'it''s' /* ; */ 3.50;\n"
                     "  put;\n"
                     "  file log;\n"
                     "  put '''quoted''';\n"
                     "%put   macro   text  ;\n"));
    const std::string expected = std::string(
                                     "1          /* a comment; over\r\n"
                                     "2             two lines */ * a statement comment;\r\n"
                                     "3          %* a macro comment;\r\n"
                                     "4          data _null_;\r\n"
                                     "5            put 'semi;colon' \"it\"\"s\" 'it''s' /* ; */ 3.50;\r\n"
                                     "6            put;\r\n"
                                     "7            file log;\r\n"
                                     "8            put '''quoted''';\r\n"
                                     "9          %put   macro   text  ;\r\n"
                                     "macro   text\r\n"
                                     "semi;colon it\"s it's 3.50\r\n"
                                     "\r\n"
                                     "'quoted'\r\n") +
                                 StepNote;
    EXPECT_EQ(expected, MaskTimes(Read(log_).value_or("<no log>")).substr(0, expected.size()));
}

TEST_F(StandinLog, UninitializedVariablesPrintAsMissing) {
    EXPECT_EQ(0, Run("data _null_; put 'n=' _N_ total total; run;"));
    const std::string log = Read(log_).value_or("<no log>");
    EXPECT_NE(std::string::npos, log.find("\r\nNOTE: Variable total is uninitialized.\r\nn= 1 . .\r\nNOTE: DATA"));
}

TEST_F(StandinLog, UnterminatedLastStatementIsAWarning) {
    EXPECT_EQ(1, Run("data _null_; put 'ran';\nrun"));
    const std::string log = MaskTimes(Read(log_).value_or("<no log>"));
    EXPECT_EQ(0u, log.find("1          data _null_; put 'ran';\r\n"
                           "2          run\r\n"
                           "WARNING: The last statement of the program has no semicolon; it was not run.\r\n"
                           "ran\r\n"));
}

TEST_F(StandinLog, CallSleepWaitsInsideTheStep) {
    EXPECT_EQ(0, Run("data _null_; put 'a'; call sleep(3, 0.1); put 'b'; run;"));
    const std::string log = Read(log_).value_or("<no log>");
    EXPECT_NE(std::string::npos, log.find("\r\na\r\nb\r\nNOTE: DATA statement used"));
    EXPECT_GE(RealTimeAfter(log, "NOTE: DATA statement used"), 0.3);
}

}  // namespace
}  // namespace tamberlo::standin::test
