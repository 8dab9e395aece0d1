#pragma once

#include "host/Error.h"

#include <string>

namespace tamberlo {

// One function per platform: turns a system error code (GetLastError() on
// Windows, errno on POSIX) into the run-time error of the same meaning, the
// system's own words for the code as its detail.
// `path` is the file the failed call was about; POSIX needs it to tell a
// missing file (53) from a missing folder on the way to it (76).
Error ErrorFromSystemCode(unsigned long code, const std::string& path = {});

// True when the code is the one reported as a missing file (53), as
// ErrorFromSystemCode would number it, found without making the error.
bool MeansFileNotFound(unsigned long code, const std::string& path = {});

// The system's own wording for a code, without a trailing line break.
std::string SystemMessage(unsigned long code);

// What went wrong with a file, whatever the platform's code for it. Each
// platform's codes map onto these, and each of these onto one run-time
// number, so that the same failure is the same number on every platform.
enum class FileCondition {
    FileNotFound,      // 53
    PathNotFound,      // 76: a folder on the way is missing or is a file
    AccessDenied,      // 75: no right to the file, or it is a folder
    AlreadyExists,     // 75
    SharingViolation,  // 70: another program holds it open or locked
    WriteProtected,    // 70: read-only medium or file system
    TooManyFiles,      // 67
    DiskFull,          // 61
    OutOfMemory,       // 7
    NotReady,          // 71: a drive without media
    EndOfFile,         // 62
    BadName,           // 52: a name the system refuses or too long
    DeviceError,       // 57
    Other,             // 75
};

// The one table from condition to run-time number, as the Windows run time
// numbers each failure.
long RuntimeNumberOf(FileCondition condition) noexcept;

// The two platforms' mappings, pure and built on every platform so that one
// test can feed both the same conditions. `parentFolderExists` tells a
// missing file from a missing folder, which errno does not.
FileCondition ConditionOfWindowsError(unsigned long code) noexcept;
FileCondition ConditionOfErrno(int code, bool parentFolderExists) noexcept;

}  // namespace tamberlo
