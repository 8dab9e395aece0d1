#include "cli/findings/LogLineClassifier.h"

#include <gtest/gtest.h>

using tamberlo::cli::LogLineClassifier;
using Kind = LogLineClassifier::Kind;

TEST(LogLineClassifier, RecognisesTheTagsSASWritesAtTheStartOfALine) {
    EXPECT_EQ(LogLineClassifier::Classify("ERROR: Variable x not found."), Kind::Error);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR 180-322: Statement is not valid or it is used out of proper order."),
              Kind::Error);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR 22-322, 200-322: Syntax error."), Kind::Error);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR:"), Kind::Error);
    EXPECT_EQ(LogLineClassifier::Classify("WARNING: The data set WORK.X may be incomplete."), Kind::Warning);
    EXPECT_EQ(LogLineClassifier::Classify("WARNING 1-322: Assuming the symbol DATA was misspelled as dta."),
              Kind::Warning);
    // SAS starts a new page of the log with a form feed.
    EXPECT_EQ(LogLineClassifier::Classify("\fERROR: after a page break"), Kind::Error);
}

TEST(LogLineClassifier, IgnoresTheWordsAnywhereElse) {
    // An echoed source line: the line number, blanks, then the statement.
    EXPECT_EQ(LogLineClassifier::Classify("3          put 'ERROR: not really';"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify(" ERROR: indented"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("NOTE: ERROR: inside a note"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("NOTE: WARNING 1-322: inside a note"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("error: lower case"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERRORS: plural"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("WARNINGS: plural"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR 180: no message part"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR 180-322 no colon"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR -322: no number"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR  180-322: two blanks"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("ERROR 22-322,: dangling comma"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify("%12ERROR: a cleaned form feed is text"), Kind::Other);
    EXPECT_EQ(LogLineClassifier::Classify(""), Kind::Other);
}

TEST(LogLineClassifier, CountsLinesWhateverTheirLineBreaks) {
    const LogLineClassifier::Counts counts =
        LogLineClassifier::Count("ERROR: a\r\nERROR 180-322: b\nWARNING: c\rNOTE: d\r\nWARNING 1-322: e");
    EXPECT_EQ(counts.errorLines, 2);
    EXPECT_EQ(counts.warningLines, 2);
}

TEST(LogLineClassifier, CountsEachLineOnceAndOnlyAtItsStart) {
    const char* log =
        "1          data _null_;\r\n"
        "2          put 'ERROR: not really';\r\n"
        "3          foo;\r\n"
        "           ---\r\n"
        "           180\r\n"
        "ERROR 180-322: Statement is not valid or it is used out of proper order. ERROR: again\r\n"
        "\r\n"
        "NOTE: The SAS System stopped processing this step because of errors.\r\n";
    EXPECT_EQ(LogLineClassifier::Count(log), (LogLineClassifier::Counts{1, 0}));
    EXPECT_EQ(LogLineClassifier::Count(""), (LogLineClassifier::Counts{0, 0}));
    EXPECT_EQ(LogLineClassifier::Count("\r\n\r\n\n"), (LogLineClassifier::Counts{0, 0}));
}
