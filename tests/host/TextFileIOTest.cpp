#include "TestSupport.h"
#include "host/Error.h"
#include "host/TextFileIO.h"

#include <gtest/gtest.h>

using namespace tamberlo;
using test::TempFolder;

namespace {

std::string NotFound(const char* operation) { return std::string(operation) + " Error #53 (File not found)"; }

}  // namespace

TEST(TextFileIO, FileExistsTrueForReadableFileWithEmptyErrorState) {
    TempFolder dir;
    test::WriteFile(dir / "a.txt", "x");
    std::string state = "stale";
    EXPECT_TRUE(TextFileIO().FileExists(dir / "a.txt", state));
    EXPECT_EQ(state, "");
}

TEST(TextFileIO, FileExistsFalseWithEmptyErrorStateForMissingFile) {
    TempFolder dir;
    std::string state = "stale";
    EXPECT_FALSE(TextFileIO().FileExists(dir / "missing.txt", state));
    EXPECT_EQ(state, "");
}

TEST(TextFileIO, FileExistsReportsADirectoryAsAFailureOtherThanNotFound) {
    TempFolder dir;
    std::string state;
    EXPECT_FALSE(TextFileIO().FileExists(dir.Path(), state));
    EXPECT_EQ(state, "FileExists Error #75 (Path/File access error)");
}

TEST(TextFileIO, FileExistsReportsAMissingFolderOnTheWayAsPathNotFound) {
    TempFolder dir;
    std::string state;
    EXPECT_FALSE(TextFileIO().FileExists(dir / "no-such-folder/a.txt", state));
    EXPECT_EQ(state, "FileExists Error #76 (Path not found)");
}

TEST(TextFileIO, ReadToStringReturnsLineEndsBlankLinesAndTrailingBlanksAsStored) {
    TempFolder dir;
    const std::string content = "line 1  \r\n\r\n\tline 3\nlone lf\rlone cr\r\n  \x0c\"q\",x";
    test::WriteFile(dir / "a.txt", content);
    std::string state = "stale";
    EXPECT_EQ(TextFileIO().ReadToString(dir / "a.txt", state), content);
    EXPECT_EQ(state, "");
}

TEST(TextFileIO, ReadToStringOfMissingFileIsEmptyWithError53) {
    TempFolder dir;
    std::string state;
    EXPECT_EQ(TextFileIO().ReadToString(dir / "missing.txt", state), "");
    EXPECT_EQ(state, NotFound("ReadToString"));
}

TEST(TextFileIO, ReadToStringOfEmptyFileIsEmptyWithoutError) {
    TempFolder dir;
    test::WriteFile(dir / "empty.txt", "");
    std::string state = "stale";
    EXPECT_EQ(TextFileIO().ReadToString(dir / "empty.txt", state), "");
    EXPECT_EQ(state, "");
}

TEST(TextFileIO, ReadToStringKeepsEveryByteValue) {
    TempFolder dir;
    std::string content;
    for (int c = 0; c < 256; ++c) content += static_cast<char>(c);
    test::WriteFile(dir / "bytes.bin", content);
    std::string state;
    EXPECT_EQ(TextFileIO().ReadToString(dir / "bytes.bin", state), content);
}

TEST(TextFileIO, ReadToStringReadsWholeFilesOfEverySizeAroundTheReadsItMakes) {
    TempFolder dir;
    for (const std::size_t size : {std::size_t{1}, std::size_t{4095}, std::size_t{4096}, std::size_t{4097},
                                   std::size_t{8193}, std::size_t{200000}}) {
        std::string content(size, 'x');
        for (std::size_t i = 0; i < size; i += 97) content[i] = static_cast<char>('a' + i % 26);
        test::WriteFile(dir / "sized.txt", content);
        std::string state = "stale";
        EXPECT_EQ(TextFileIO().ReadToString(dir / "sized.txt", state), content) << size << " bytes";
        EXPECT_EQ(state, "");
    }
#ifndef _WIN32
    // A device has no size to go by: it is read to its end all the same.
    std::string state = "stale";
    EXPECT_EQ(TextFileIO().ReadToString("/dev/null", state), "");
    EXPECT_EQ(state, "");
#endif
}

TEST(TextFileIO, DeleteFileOfMissingFileReportsError53) {
    TempFolder dir;
    std::string state;
    TextFileIO().DeleteFile(dir / "missing.txt", state);
    EXPECT_EQ(state, NotFound("DeleteFile"));
}

TEST(TextFileIO, DeleteFileThroughAMissingFolderReportsPathNotFound) {
    TempFolder dir;
    std::string state;
    TextFileIO().DeleteFile(dir / "no-such-folder/a.txt", state);
    EXPECT_EQ(state, "DeleteFile Error #76 (Path not found)");
}

TEST(TextFileIO, ReadIfExistsReadsOnlyAFileThatIsThereAndTellsAMissingOneFromAFailure) {
    TempFolder dir;
    test::WriteFile(dir / "a.txt", "line\r\n\x0c");
    test::WriteFile(dir / "empty.txt", "");
    const struct {
        std::string path;
        bool read;
        std::string text;  // Text afterwards; it starts as "untouched"
        std::string state;
    } cases[] = {
        {dir / "a.txt", true, "line\r\n\x0c", ""},
        {dir / "empty.txt", true, "", ""},
        {dir / "missing.txt", false, "untouched", ""},
        {dir / "no-such-folder/a.txt", false, "untouched", "ReadToString Error #76 (Path not found)"},
        {dir.Path(), false, "untouched", "ReadToString Error #75 (Path/File access error)"},
    };
    for (const auto& c : cases) {
        std::string text = "untouched";
        std::string state = "stale";
        EXPECT_EQ(TextFileIO().ReadIfExists(c.path, text, state), c.read) << c.path;
        EXPECT_EQ(text, c.text) << c.path;
        EXPECT_EQ(state, c.state) << c.path;
    }
}

TEST(TextFileIO, DeleteFileRemovesTheFile) {
    TempFolder dir;
    test::WriteFile(dir / "a.txt", "x");
    std::string state = "stale";
    TextFileIO().DeleteFile(dir / "a.txt", state);
    EXPECT_EQ(state, "");
    EXPECT_FALSE(test::Exists(dir / "a.txt"));
}

TEST(TextFileIO, OverwriteFileLeavesNothingOfALongerOldContent) {
    TempFolder dir;
    test::WriteFile(dir / "a.txt", "a much longer old content\r\n");
    std::string state = "stale";
    TextFileIO().OverwriteFile(dir / "a.txt", "new\r\n", state);
    EXPECT_EQ(state, "");
    EXPECT_EQ(test::ReadFile(dir / "a.txt"), "new\r\n");
}

TEST(TextFileIO, OverwriteFileCreatesAMissingFileWithoutTranslatingLineEnds) {
    TempFolder dir;
    std::string state;
    TextFileIO().OverwriteFile(dir / "new.txt", "a\nb\r\nc\r", state);
    EXPECT_EQ(state, "");
    EXPECT_EQ(test::ReadFile(dir / "new.txt"), "a\nb\r\nc\r");
}

TEST(TextFileIO, AppendToFileTwiceOnMissingFileKeepsBothInOrder) {
    TempFolder dir;
    std::string state;
    TextFileIO io;
    io.AppendToFile(dir / "a.txt", "first\r\n", state);
    EXPECT_EQ(state, "");
    io.AppendToFile(dir / "a.txt", "second", state);
    EXPECT_EQ(state, "");
    EXPECT_EQ(test::ReadFile(dir / "a.txt"), "first\r\nsecond");
}

TEST(TextFileIO, WritesThroughAMissingFolderFailWithPathNotFound) {
    TempFolder dir;
    std::string state;
    TextFileIO io;
    io.OverwriteFile(dir / "gone/a.txt", "x", state);
    EXPECT_EQ(state, "OverwriteFile Error #76 (Path not found)");
    io.AppendToFile(dir / "gone/a.txt", "x", state);
    EXPECT_EQ(state, "AppendToFile Error #76 (Path not found)");
}

TEST(TextFileIO, WritingToADirectoryFailsAndReports) {
    TempFolder dir;
    std::string state;
    TextFileIO().OverwriteFile(dir.Path(), "x", state);
    EXPECT_EQ(state.rfind("OverwriteFile Error #", 0), 0u) << state;
    EXPECT_EQ(state.find("#53"), std::string::npos) << state;
}

TEST(TextFileIO, SuccessAfterFailureClearsTheSameErrorState) {
    TempFolder dir;
    std::string state;
    TextFileIO io;
    io.ReadToString(dir / "missing.txt", state);
    ASSERT_FALSE(state.empty());
    io.OverwriteFile(dir / "a.txt", "x", state);
    EXPECT_EQ(state, "");
}

TEST(RuntimeErrors, TableHoldsTheUsualDescriptions) {
    EXPECT_STREQ(RuntimeErrorDescription(53), "File not found");
    EXPECT_STREQ(RuntimeErrorDescription(52), "Bad file name or number");
    EXPECT_STREQ(RuntimeErrorDescription(61), "Disk full");
    EXPECT_STREQ(RuntimeErrorDescription(62), "Input past end of file");
    EXPECT_STREQ(RuntimeErrorDescription(67), "Too many files");
    EXPECT_STREQ(RuntimeErrorDescription(70), "Permission denied");
    EXPECT_STREQ(RuntimeErrorDescription(75), "Path/File access error");
    EXPECT_STREQ(RuntimeErrorDescription(76), "Path not found");
    EXPECT_STREQ(RuntimeErrorDescription(5), "Invalid procedure call or argument");
    EXPECT_STREQ(RuntimeErrorDescription(457), "This key is already associated with an element of this collection");
    const Error error = RuntimeError(53);
    EXPECT_EQ(error.Number(), 53);
    EXPECT_EQ(error.Source(), "Tamberlo");
    EXPECT_EQ(error.Description(), "File not found");
    EXPECT_STREQ(error.what(), "File not found");
}

#ifdef _WIN32
#include <windows.h>
#undef DeleteFile  // windows.h's macro for DeleteFileA would rename TextFileIO's member

// A drive without media fails a file operation like any missing path,
// never with a system dialog, and the thread's own error mode is left as the
// client had set it.
TEST(TextFileIO, OperationsOnADriveWithoutMediaFailQuietlyAndKeepTheThreadsErrorMode) {
    DWORD before = 0;
    ASSERT_TRUE(::SetThreadErrorMode(SEM_NOGPFAULTERRORBOX, &before));
    const std::string path = "A:\\job.sas";
    TextFileIO io;
    std::string exists, read, written, deleted;
    EXPECT_FALSE(io.FileExists(path, exists));
    io.ReadToString(path, read);
    io.OverwriteFile(path, "x", written);
    io.DeleteFile(path, deleted);
    EXPECT_EQ(::GetThreadErrorMode(), static_cast<DWORD>(SEM_NOGPFAULTERRORBOX));
    ::SetThreadErrorMode(before, nullptr);
    for (const std::string* state : {&read, &written, &deleted}) EXPECT_FALSE(state->empty());
}
#endif
