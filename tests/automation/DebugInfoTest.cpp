#include "RunnerTestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tamberlo;
using test::StandinRoot;
using testing::HasSubstr;

namespace {

// The report's title and the first heading, as every report opens.
const std::string ReportOpening =
    "-----------------\r\n"
    "Debug Information\r\n"
    "-----------------\r\n"
    "\r\n"
    "Last Execute Return Value\r\n"
    "-------------------------\r\n";

const std::string FreshReport = ReportOpening +
                                "\r\n\r\n"
                                "SASCode\r\n"
                                "-------\r\n"
                                "\r\n\r\n"
                                "Log\r\n"
                                "---\r\n"
                                "\r\n\r\n"
                                "Lst\r\n"
                                "---\r\n"
                                "\r\n\r\n"
                                "# PutFiles\r\n"
                                "----------\r\n"
                                "0\r\n\r\n"
                                "CleanOutput\r\n"
                                "-----------\r\n"
                                "True\r\n\r\n"
                                "SafeFormChar (options formchar='|-++++++++++=|-/|<>*';)\r\n"
                                "-------------------------------------------------------\r\n"
                                "True\r\n\r\n";

class DebugInfoTest : public testing::Test {
protected:
    test::TempFolder temp;
    test::ScopedTempDirectory scopedTemp{temp.Path()};
    test::ScopedEnvironment log{"TAMBERLO_STANDIN_LOG", "NOTE: one\r\nNOTE: two"};
    test::ScopedEnvironment listing{"TAMBERLO_STANDIN_LIST", "\x0cpage 1"};
};

}  // namespace

TEST_F(DebugInfoTest, NewObjectReport) { EXPECT_EQ(CodeRunner().DebugInfo(), FreshReport); }

TEST_F(DebugInfoTest, WorkedExampleByteForByte) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1;");
    runner.SetSASCode("put 'written to _PUT1'; run;");
    ASSERT_EQ(runner.Execute(StandinRoot), "OK");
    const std::string path = runner.PutFile(1, true);
    EXPECT_EQ(runner.DebugInfo(), ReportOpening +
                                      "OK\r\n"
                                      "\r\n"
                                      "SASCode\r\n"
                                      "-------\r\n"
                                      "data _null_; file _PUT1;\r\n"
                                      "put 'written to _PUT1'; run;\r\n"
                                      "\r\n"
                                      "\r\n"
                                      "Log\r\n"
                                      "---\r\n"
                                      "NOTE: one\r\n"
                                      "NOTE: two\r\n"
                                      "\r\n"
                                      "Lst\r\n"
                                      "---\r\n"
                                      "%12page 1\r\n"
                                      "\r\n"
                                      "# PutFiles\r\n"
                                      "----------\r\n"
                                      "1\r\n"
                                      "\r\n"
                                      "_PUT1 (" +
                                      path +
                                      ")\r\n"
                                      "-----\r\n"
                                      "written to _PUT1\r\n"
                                      "\r\n"
                                      "\r\n"
                                      "CleanOutput\r\n"
                                      "-----------\r\n"
                                      "True\r\n"
                                      "\r\n"
                                      "SafeFormChar (options formchar='|-++++++++++=|-/|<>*';)\r\n"
                                      "-------------------------------------------------------\r\n"
                                      "True\r\n"
                                      "\r\n");
}

TEST_F(DebugInfoTest, PutFileSectionsInCollectionOrderUnderlinedByTheKeyAlone) {
    CodeRunner runner;
    runner.SetSASCode(test::WritesToPutFile(3) + " " + test::WritesToPutFile(1));
    runner.Execute(StandinRoot);
    const std::string report = runner.DebugInfo();
    EXPECT_THAT(report, HasSubstr("# PutFiles\r\n----------\r\n2\r\n\r\n_PUT1 (" + runner.PutFile(1, true) +
                                  ")\r\n-----\r\nwritten to _PUT1\r\n\r\n\r\n_PUT3 (" + runner.PutFile(3, true) +
                                  ")\r\n-----\r\n"));
}

TEST_F(DebugInfoTest, CleanOutputOffShowsFalseAndRawTexts) {
    CodeRunner runner;
    runner.SetSASCode("x;");
    runner.Execute(StandinRoot);
    runner.SetCleanOutput(false);
    const std::string report = runner.DebugInfo();
    EXPECT_THAT(report, HasSubstr("Lst\r\n---\r\n\x0cpage 1\r\n\r\n"));
    EXPECT_THAT(report, HasSubstr("CleanOutput\r\n-----------\r\nFalse\r\n\r\n"));
}

TEST_F(DebugInfoTest, SafeFormCharChangedAfterTheRunShowsTheNewSetting) {
    CodeRunner runner;
    runner.SetSASCode("x;");
    runner.Execute(StandinRoot);
    runner.SetSafeFormChar(false);
    const std::string report = runner.DebugInfo();
    EXPECT_EQ(report.substr(report.size() - 9), "False\r\n\r\n");
}

TEST_F(DebugInfoTest, AfterResetEqualsANewObjects) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    runner.Execute(StandinRoot);
    runner.SetCleanOutput(false);
    runner.Reset();
    EXPECT_EQ(runner.DebugInfo(), FreshReport);
}

TEST_F(DebugInfoTest, UnreadablePutFileFailsTheWholeReport) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    runner.Execute(StandinRoot);
    std::filesystem::remove(runner.PutFile(1, true));
    EXPECT_EQ(test::ErrorOf([&] { runner.DebugInfo(); }).Number(), 53);
}
