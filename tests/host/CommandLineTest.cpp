#include "host/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using tamberlo::SplitCommandLine;
using testing::ElementsAre;

TEST(SplitCommandLine, TheEngineCommandLineSplitsIntoProgramOptionsAndPaths) {
    EXPECT_THAT(SplitCommandLine("\"/opt/sas root/sas\" -nologo -noterminal  -config \"/opt/sas root/sasv9.cfg\" "
                                 "-SYSIN \"/tmp/a b.sas\" -PRINT \"/tmp/l.lst\" -LOG \"/tmp/l.log\""),
                ElementsAre("/opt/sas root/sas", "-nologo", "-noterminal", "-config", "/opt/sas root/sasv9.cfg",
                            "-SYSIN", "/tmp/a b.sas", "-PRINT", "/tmp/l.lst", "-LOG", "/tmp/l.log"));
}

TEST(SplitCommandLine, ProgramNameTakesBackslashesLiterally) {
    EXPECT_THAT(SplitCommandLine("\"C:\\Program Files\\SAS\\\" x"), ElementsAre("C:\\Program Files\\SAS\\", "x"));
    EXPECT_THAT(SplitCommandLine("prog\\\"x y"), ElementsAre("prog\\\"x", "y"));
}

TEST(SplitCommandLine, BackslashesBeforeAQuoteFollowTheRuntimeRules) {
    EXPECT_THAT(SplitCommandLine("p a\\\\\\\"b"), ElementsAre("p", "a\\\"b"));     // 3 backslashes + quote
    EXPECT_THAT(SplitCommandLine("p \"a\\\\\" b"), ElementsAre("p", "a\\", "b"));  // 2 backslashes + quote
    EXPECT_THAT(SplitCommandLine("p a\\\\b"), ElementsAre("p", "a\\\\b"));         // no quote: literal
}

TEST(SplitCommandLine, QuotesGroupAndDoubledQuotesInsideStandForOne) {
    EXPECT_THAT(SplitCommandLine("p \"a \"\"b\"\" c\" d"), ElementsAre("p", "a \"b\" c", "d"));
    EXPECT_THAT(SplitCommandLine("p a\"b c\"d"), ElementsAre("p", "ab cd"));
    EXPECT_THAT(SplitCommandLine("p \"\""), ElementsAre("p", ""));
}

TEST(SplitCommandLine, BlanksAndTabsSeparateAndEmptyLineGivesNothing) {
    EXPECT_THAT(SplitCommandLine("  p\t a  \t b  "), ElementsAre("p", "a", "b"));
    EXPECT_TRUE(SplitCommandLine("").empty());
    EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}
