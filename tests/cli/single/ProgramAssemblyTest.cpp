#include "TestSupport.h"
#include "cli/single/ProgramAssembly.h"
#include "cli/base/UsageError.h"
#include "host/AnsiText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace tamberlo;
using namespace tamberlo::cli;
using testing::HasSubstr;
using Assignment = ProgramAssembly::Assignment;
using Kind = ProgramPiece::Kind;

namespace {

std::string NoStandardInput() {
    ADD_FAILURE() << "standard input read";
    return {};
}

std::string PrepareFailure(const std::vector<ProgramPiece>& pieces) {
    try {
        ProgramAssembly::Prepare(pieces, NoStandardInput);
    } catch (const UsageError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no usage error";
    return {};
}

}  // namespace

TEST(ProgramAssembly, SasFilesStayPathsOtherFilesAndTextsBecomeText) {
    test::TempFolder dir;
    test::WriteFile(dir / "lower.sas", "data a;\r\n");
    test::WriteFile(dir / "UPPER.SAS", "run;\r\n");
    test::WriteFile(dir / "notes.txt", "proc print;\nrun;");
    int reads = 0;
    const auto standardInput = [&reads] {
        ++reads;
        return std::string("from stdin\r\n");
    };
    const std::vector<Assignment> assignments = ProgramAssembly::Prepare({{Kind::File, dir / "lower.sas"},
                                                                          {Kind::Text, "x = 1;"},
                                                                          {Kind::StandardInput, ""},
                                                                          {Kind::File, dir / "UPPER.SAS"},
                                                                          {Kind::File, dir / "notes.txt"}},
                                                                         standardInput);
    const std::vector<Assignment> expected{
        {dir / "lower.sas", true},    {"x = 1;", false}, {"from stdin\r\n", false}, {dir / "UPPER.SAS", true},
        {"proc print;\nrun;", false},
    };
    EXPECT_EQ(assignments, expected);
    EXPECT_EQ(reads, 1);
}

TEST(ProgramAssembly, TextThatLooksLikeAFileNameGetsALineBreak) {
    // Assigned bare, "%include x.sas" would be taken for the name of a file.
    EXPECT_EQ(ProgramAssembly::AsProgramText("%include x.sas"), "%include x.sas\r\n");
    EXPECT_EQ(ProgramAssembly::AsProgramText("a\nb.SaS"), "a\nb.SaS\r\n");
    EXPECT_EQ(ProgramAssembly::AsProgramText("a\r\nb.sas"), "a\r\nb.sas");
    EXPECT_EQ(ProgramAssembly::AsProgramText("x.sas "), "x.sas ");
    EXPECT_EQ(ProgramAssembly::AsProgramText(""), "");
}

TEST(ProgramAssembly, MissingFoldersAndUnreadableFilesAreUsageErrorsNamingThem) {
    test::TempFolder dir;
    EXPECT_EQ(PrepareFailure({{Kind::File, dir / "missing.sas"}}), dir / "missing.sas" + ": no such program file");
    EXPECT_EQ(PrepareFailure({{Kind::File, dir / "missing.txt"}}), dir / "missing.txt" + ": no such program file");
    EXPECT_EQ(PrepareFailure({{Kind::File, dir / "no-folder/x.sas"}}),
              dir / "no-folder/x.sas" + ": no such program file");
    // As the host's file layer numbers it on every platform: a folder is 75.
    std::filesystem::create_directory(dir / "folder.sas");
    EXPECT_EQ(PrepareFailure({{Kind::File, dir / "folder.sas"}}),
              dir / "folder.sas" + ": cannot read the program file: Path/File access error");
}

#ifndef _WIN32
TEST(ProgramAssembly, JsonTextIsUtf8WithOtherBytesTakenAsLatin1) {
    EXPECT_EQ(ansi::ToUtf8("plain\r\n"), "plain\r\n");
    EXPECT_EQ(ansi::ToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ansi::ToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(ansi::ToUtf8("\xFF\xC3"), "\xC3\xBF\xC3\x83");
    EXPECT_EQ(ansi::ToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");  // an encoded surrogate is not UTF-8
}
#endif
