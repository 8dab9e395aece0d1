#include "ErrorMatcher.h"
#include "RunnerTestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

using namespace tamberlo;
using tamberlo::test::IsError;
using test::ErrorOf;
using test::StandinRoot;
using testing::_;
using testing::IsEmpty;

namespace {

class CodeRunnerTest : public testing::Test {
protected:
    test::TempFolder temp;
    test::TempFolder work;
    test::ScopedTempDirectory scopedTemp{temp.Path()};
};

}  // namespace

TEST_F(CodeRunnerTest, NewObjectIsEmptyWithBothSwitchesOn) {
    CodeRunner runner;
    EXPECT_EQ(runner.SASCode(), "");
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    EXPECT_EQ(runner.LastExecuteReturnValue(), "");
    EXPECT_TRUE(runner.CleanOutput());
    EXPECT_TRUE(runner.SafeFormChar());
}

TEST_F(CodeRunnerTest, TextAssignmentsAppendEachWithALineBreakAndEmptyChangesNothing) {
    CodeRunner runner;
    runner.SetSASCode("A");
    runner.SetSASCode("");
    runner.SetSASCode("B");
    EXPECT_EQ(runner.SASCode(), "A\r\nB\r\n");
}

TEST_F(CodeRunnerTest, ProgramFilePathAppendsTheContentExactlyWhateverTheSuffixCase) {
    for (const char* name : {"p.sas", "q.Sas", "r.SAS"}) test::WriteFile(work / name, std::string("x=") + name + ";");
    CodeRunner runner;
    runner.SetSASCode(work / "p.sas");
    runner.SetSASCode(work / "q.Sas");
    runner.SetSASCode(work / "r.SAS");
    EXPECT_EQ(runner.SASCode(), "x=p.sas;x=q.Sas;x=r.SAS;");
}

TEST_F(CodeRunnerTest, MissingProgramFileFailsWithTheSASCodeErrorAndChangesNothing) {
    CodeRunner runner;
    runner.SetSASCode("before");
    const std::string path = work / "missing.sas";
    const Error error = ErrorOf([&] { runner.SetSASCode(path); });
    EXPECT_THAT(error, IsError(1, "SASCode method", "The file '" + path + "' does not exist."));
    EXPECT_EQ(runner.SASCode(), "before\r\n");
}

#ifdef _WIN32
TEST_F(CodeRunnerTest, AProgramOnADriveWithoutMediaDoesNotExist) {
    CodeRunner runner;
    const Error error = ErrorOf([&] { runner.SetSASCode("A:\\job.sas"); });
    EXPECT_THAT(error, IsError(1, "SASCode method", "The file 'A:\\job.sas' does not exist."));
}
#endif

TEST_F(CodeRunnerTest, ADirectoryNamedLikeAProgramIsAMissingFile) {
    std::filesystem::create_directories(work / "folder.sas");
    CodeRunner runner;
    EXPECT_EQ(ErrorOf([&] { runner.SetSASCode(work / "folder.sas"); }).Description(),
              "The file '" + work / "folder.sas" + "' does not exist.");
}

TEST_F(CodeRunnerTest, TrailingBlankAfterSuffixMakesItProgramText) {
    CodeRunner runner;
    runner.SetSASCode("missing.sas ");
    EXPECT_EQ(runner.SASCode(), "missing.sas \r\n");
}

TEST_F(CodeRunnerTest, OnlyCarriageReturnLineFeedMakesMultiLineText) {
    CodeRunner runner;
    runner.SetSASCode("data x;\r\n%include 'y.sas");
    EXPECT_EQ(runner.SASCode(), "data x;\r\n%include 'y.sas\r\n");
    EXPECT_THAT(ErrorOf([&] { runner.SetSASCode("data x;\n%include y.sas"); }),
                IsError(1, "SASCode method", "The file 'data x;\n%include y.sas' does not exist."));
}

TEST(NamesProgramFile, TheSuffixTestToTheLetter) {
    EXPECT_TRUE(NamesProgramFile(".sas"));
    EXPECT_TRUE(NamesProgramFile("a.sAs"));
    EXPECT_TRUE(NamesProgramFile("a\rb.sas"));
    EXPECT_TRUE(NamesProgramFile("a\n\rb.sas"));
    EXPECT_FALSE(NamesProgramFile("sas"));
    EXPECT_FALSE(NamesProgramFile("a.sa"));
    EXPECT_FALSE(NamesProgramFile("a_sas"));
    EXPECT_FALSE(NamesProgramFile("a\r\nb.sas"));
    EXPECT_FALSE(NamesProgramFile("a.sas\r\n"));
}

TEST_F(CodeRunnerTest, ExecuteWithoutProgramReturnsAndKeepsTheNoCommandStatus) {
    CodeRunner runner;
    EXPECT_EQ(runner.Execute(StandinRoot), "ERROR: No command supplied.");
    EXPECT_EQ(runner.LastExecuteReturnValue(), "ERROR: No command supplied.");
}

TEST_F(CodeRunnerTest, FailedExecuteKeepsStatusLogAndListing) {
    CodeRunner runner;
    runner.SetSASCode("x;");
    const test::ScopedEnvironment listing("TAMBERLO_STANDIN_LIST",
                                          "\x0c"
                                          "given listing\r\n");
    runner.Execute(StandinRoot);
    const std::string log = runner.Log();
    const Error error = ErrorOf([&] { runner.Execute(work / "nowhere"); });
    EXPECT_THAT(error, IsError(1, "Execute method", _));
    EXPECT_EQ(runner.LastExecuteReturnValue(), "OK");
    EXPECT_EQ(runner.Log(), log);
    EXPECT_EQ(runner.Lst(), "%12given listing\r\n");
}

TEST_F(CodeRunnerTest, SecondExecuteWithPutFilesFailsWithDuplicateKeyAndResetLetsItRunAgain) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    EXPECT_EQ(runner.Execute(StandinRoot), "OK");
    EXPECT_EQ(ErrorOf([&] { runner.Execute(StandinRoot); }).Number(), 457);
    EXPECT_EQ(runner.LastExecuteReturnValue(), "OK");
    runner.Reset();
    runner.SetSASCode(test::WritesToPutFile(1));
    EXPECT_EQ(runner.Execute(StandinRoot), "OK");
    EXPECT_EQ(runner.PutFile(1), "written to _PUT1\r\n");
}

TEST_F(CodeRunnerTest, ResetEmptiesEverythingDeletesPutFilesAndTurnsSwitchesOn) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    runner.Execute(StandinRoot);
    const std::string path = runner.PutFile(1, true);
    runner.SetCleanOutput(false);
    runner.SetSafeFormChar(false);
    runner.Reset();
    EXPECT_FALSE(test::Exists(path));
    EXPECT_EQ(runner.SASCode(), "");
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    EXPECT_EQ(runner.LastExecuteReturnValue(), "");
    EXPECT_EQ(ErrorOf([&] { runner.PutFile(1); }).Number(), 5);
    EXPECT_TRUE(runner.CleanOutput());
    EXPECT_TRUE(runner.SafeFormChar());
}

TEST_F(CodeRunnerTest, DestroyingTheObjectDeletesItsPutFiles) {
    {
        CodeRunner runner;
        runner.SetSASCode("file _PUT1; file _PUT2;");
        runner.Execute(StandinRoot);
        EXPECT_EQ(test::ListFolder(temp.Path()).size(), 2u);
    }
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
}

TEST_F(CodeRunnerTest, SwitchesAreSharedPerThreadAndResetByANewObject) {
    CodeRunner a;
    a.SetCleanOutput(false);
    CodeRunner b;
    EXPECT_TRUE(a.CleanOutput());
    a.SetSafeFormChar(false);
    EXPECT_FALSE(b.SafeFormChar());
    bool otherThread = false;
    std::thread([&] { otherThread = CodeRunner().SafeFormChar(); }).join();
    EXPECT_TRUE(otherThread);
    EXPECT_FALSE(a.SafeFormChar());
}

TEST_F(CodeRunnerTest, TwoObjectsDoNotShareProgramOrResults) {
    CodeRunner a, b;
    a.SetSASCode("a;");
    b.SetSASCode("b;");
    a.Execute(StandinRoot);
    EXPECT_EQ(b.SASCode(), "b;\r\n");
    EXPECT_EQ(b.Log(), "");
    EXPECT_EQ(b.LastExecuteReturnValue(), "");
}

// Put-file retrieval.

TEST_F(CodeRunnerTest, PutFilesAreLookedUpByNumberNotPosition) {
    CodeRunner runner;
    runner.SetSASCode(test::WritesToPutFile(1) + " " + test::WritesToPutFile(3));
    runner.Execute(StandinRoot);
    EXPECT_EQ(runner.PutFile(1), "written to _PUT1\r\n");
    EXPECT_EQ(runner.PutFile(3), "written to _PUT3\r\n");
    EXPECT_EQ(runner.PutFile(3, false), runner.PutFile(3));
    const Error error = ErrorOf([&] { runner.PutFile(2); });
    EXPECT_THAT(error, IsError(5, _, "Invalid procedure call or argument"));
    for (const std::int16_t bad : {0, -1, 32767, -32768}) EXPECT_EQ(ErrorOf([&] { runner.PutFile(bad); }).Number(), 5);
}

TEST_F(CodeRunnerTest, ReturnPathGivesTheTemporaryFileWithoutOpeningIt) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT10;");
    runner.Execute(StandinRoot);
    const std::string path = runner.PutFile(1, true);
    EXPECT_EQ(path.rfind(temp.Path() + "tmpPutFile_PUT1_", 0), 0u) << path;
    EXPECT_TRUE(test::Exists(path));
    EXPECT_NE(runner.PutFile(10, true), path);
}

TEST_F(CodeRunnerTest, PutFileTextFollowsCleanOutput) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    runner.Execute(StandinRoot);
    test::WriteFile(runner.PutFile(1, true), "a\tb\x01\r\n");
    EXPECT_EQ(runner.PutFile(1), "a%9b%1\r\n");
    runner.SetCleanOutput(false);
    EXPECT_EQ(runner.PutFile(1), "a\tb\x01\r\n");
}

TEST_F(CodeRunnerTest, DeletedPutFileFailsWithTheFileErrorButItsPathStillComesBack) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1;");
    runner.Execute(StandinRoot);
    const std::string path = runner.PutFile(1, true);
    std::filesystem::remove(path);
    EXPECT_EQ(ErrorOf([&] { runner.PutFile(1); }).Number(), 53);
    EXPECT_EQ(runner.PutFile(1, true), path);
}

TEST_F(CodeRunnerTest, PutFileKeysListTheRunsPutFilesInCollectionOrder) {
    CodeRunner runner;
    EXPECT_THAT(runner.PutFileKeys(), IsEmpty());
    runner.SetSASCode("file _PUT12; file _PUT3;");
    runner.Execute(StandinRoot);
    EXPECT_THAT(runner.PutFileKeys(), testing::ElementsAre("_PUT1", "_PUT3", "_PUT12"));
    runner.Reset();
    EXPECT_THAT(runner.PutFileKeys(), IsEmpty());
}
