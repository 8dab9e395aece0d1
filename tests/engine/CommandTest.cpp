#include "ErrorMatcher.h"
#include "TestSupport.h"
#include "engine/Command.h"
#include "host/Error.h"

#include <gtest/gtest.h>

using namespace tamberlo;
using tamberlo::test::IsError;
using testing::_;

TEST(Command, AppendToEmptyBufferAddsSegmentAndOneLineBreak) {
    Command command;
    command.Append("data _null_;");
    EXPECT_EQ(command.Value(), "data _null_;\r\n");
}

TEST(Command, AppendOfEmptySegmentAddsOnlyALineBreak) {
    Command command;
    command.Append("");
    EXPECT_EQ(command.Value(), "\r\n");
}

TEST(Command, AppendOfSegmentEndingInLineBreakLeavesTwo) {
    Command command;
    command.Append("run;\r\n");
    EXPECT_EQ(command.Value(), "run;\r\n\r\n");
}

TEST(Command, StoredFileWithoutFinalLineBreakIsContinuedByTheNextSegment) {
    test::TempFolder dir;
    test::WriteFile(dir / "p.sas", "data _null_;\r\nrun");
    Command command;
    command.AppendStoredProgram(dir / "p.sas");
    command.Append(";");
    EXPECT_EQ(command.Value(), "data _null_;\r\nrun;\r\n");
}

TEST(Command, StoredProgramComesThroughByteForByte) {
    test::TempFolder dir;
    const std::string content("a\tb\x0c\r\nc\nd\re\0f", 13);
    test::WriteFile(dir / "p.sas", content);
    Command command;
    command.Append("x");
    command.AppendStoredProgram(dir / "p.sas");
    EXPECT_EQ(command.Value(), "x\r\n" + content);
}

TEST(Command, AppendStoredProgramOfMissingFileFailsAndLeavesBufferAsItWas) {
    test::TempFolder dir;
    Command command;
    command.Append("kept");
    try {
        command.AppendStoredProgram(dir / "missing.sas");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_THAT(error, IsError(53, _, "File not found"));
    }
    EXPECT_EQ(command.Value(), "kept\r\n");
}

TEST(Command, LoadStoredProgramReplacesAndOnFailureLeavesBufferEmpty) {
    test::TempFolder dir;
    test::WriteFile(dir / "p.sas", "loaded");
    Command command;
    command.Append("old");
    command.LoadStoredProgram(dir / "p.sas");
    EXPECT_EQ(command.Value(), "loaded");
    EXPECT_THROW(command.LoadStoredProgram(dir / "missing.sas"), Error);
    EXPECT_EQ(command.Value(), "");
}

TEST(Command, EmptyStoredFileReadsAsEmptyText) {
    test::TempFolder dir;
    test::WriteFile(dir / "empty.sas", "");
    Command command;
    command.Append("a");
    command.AppendStoredProgram(dir / "empty.sas");
    EXPECT_EQ(command.Value(), "a\r\n");
    command.LoadStoredProgram(dir / "empty.sas");
    EXPECT_EQ(command.Value(), "");
}

TEST(Command, ClearEmptiesValueButNotPreamble) {
    Command command;
    command.Append("x");
    command.SetPreamble("options formchar='|-++++++++++=|-/|<>*';\r\n");
    command.Clear();
    EXPECT_EQ(command.Value(), "");
    EXPECT_EQ(command.Preamble(), "options formchar='|-++++++++++=|-/|<>*';\r\n");
}

TEST(Command, ValueLetThenGetReturnsTheTextUnchanged) {
    Command command;
    command.SetValue("a\r\nb\n\rc");
    EXPECT_EQ(command.Value(), "a\r\nb\n\rc");
}
