#include "ErrorMatcher.h"
#include "host/SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace tamberlo;
using tamberlo::test::IsError;

// Both platforms' mappings meet the same failures and must give the number
// the Windows run time gives. Runs natively and under Wine alike.
TEST(SystemError, SameFailureGivesTheSameNumberOnBothPlatforms) {
    struct Row {
        const char* failure;
        int posixCode;
        bool parentFolderExists;
        unsigned long windowsCode;
        long number;
        const char* description;
    };
    const Row rows[] = {
        {"file not found", ENOENT, true, 2, 53, "File not found"},
        {"path not found", ENOENT, false, 3, 76, "Path not found"},
        {"a file on the way is no folder", ENOTDIR, true, 267, 76, "Path not found"},
        {"access denied", EACCES, true, 5, 75, "Path/File access error"},
        {"operation not permitted", EPERM, true, 5, 75, "Path/File access error"},
        {"a folder opened as a file", EISDIR, true, 5, 75, "Path/File access error"},
        {"already exists", EEXIST, true, 80, 75, "Path/File access error"},
        {"sharing violation", ETXTBSY, true, 32, 70, "Permission denied"},
        {"write-protected", EROFS, true, 19, 70, "Permission denied"},
        {"too many files", EMFILE, true, 4, 67, "Too many files"},
        {"disk full", ENOSPC, true, 112, 61, "Disk full"},
        {"out of memory", ENOMEM, true, 8, 7, "Out of memory"},
        {"name too long", ENAMETOOLONG, true, 206, 52, "Bad file name or number"},
        {"device error", EIO, true, 31, 57, "Device I/O error"},
        {"no media", ENXIO, true, 21, 71, "Disk not ready"},
    };
    for (const Row& row : rows) {
        const long posix = RuntimeNumberOf(ConditionOfErrno(row.posixCode, row.parentFolderExists));
        const long windows = RuntimeNumberOf(ConditionOfWindowsError(row.windowsCode));
        EXPECT_EQ(posix, row.number) << row.failure << " (POSIX)";
        EXPECT_EQ(windows, row.number) << row.failure << " (Windows)";
        EXPECT_STREQ(RuntimeErrorDescription(row.number), row.description) << row.failure;
    }
}

// The platform's own function, as the file layer calls it.
TEST(SystemError, ThisPlatformsCodeForAMissingFileIs53) {
#ifdef _WIN32
    const unsigned long missing = 2;
#else
    const unsigned long missing = ENOENT;
#endif
    const Error error = ErrorFromSystemCode(missing, "missing.txt");
    EXPECT_THAT(error, IsError(53, "Tamberlo", "File not found"));
}
