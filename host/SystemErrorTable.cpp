#include "host/SystemError.h"

#include <cerrno>

namespace tamberlo {

namespace windows_error {
// The values of <winerror.h>, fixed by the Windows ABI; the Windows build
// checks them against the header.
inline constexpr unsigned long FileNotFound = 2;
inline constexpr unsigned long PathNotFound = 3;
inline constexpr unsigned long TooManyOpenFiles = 4;
inline constexpr unsigned long AccessDenied = 5;
inline constexpr unsigned long InvalidHandle = 6;
inline constexpr unsigned long NotEnoughMemory = 8;
inline constexpr unsigned long OutOfMemory = 14;
inline constexpr unsigned long InvalidDrive = 15;
inline constexpr unsigned long WriteProtect = 19;
inline constexpr unsigned long NotReady = 21;
inline constexpr unsigned long Crc = 23;
inline constexpr unsigned long WriteFault = 29;
inline constexpr unsigned long ReadFault = 30;
inline constexpr unsigned long GenFailure = 31;
inline constexpr unsigned long SharingViolation = 32;
inline constexpr unsigned long LockViolation = 33;
inline constexpr unsigned long HandleEof = 38;
inline constexpr unsigned long HandleDiskFull = 39;
inline constexpr unsigned long BadNetPath = 53;
inline constexpr unsigned long BadNetName = 67;
inline constexpr unsigned long FileExists = 80;
inline constexpr unsigned long DiskFull = 112;
inline constexpr unsigned long InvalidName = 123;
inline constexpr unsigned long BadPathName = 161;
inline constexpr unsigned long AlreadyExists = 183;
inline constexpr unsigned long FileNameExcedRange = 206;
inline constexpr unsigned long Directory = 267;
}  // namespace windows_error

long RuntimeNumberOf(FileCondition condition) noexcept {
    switch (condition) {
    case FileCondition::FileNotFound: return errors::FileNotFound;
    case FileCondition::PathNotFound: return errors::PathNotFound;
    case FileCondition::AccessDenied:
    case FileCondition::AlreadyExists:
    case FileCondition::Other: return errors::PathFileAccessError;
    case FileCondition::SharingViolation:
    case FileCondition::WriteProtected: return errors::PermissionDenied;
    case FileCondition::TooManyFiles: return errors::TooManyFiles;
    case FileCondition::DiskFull: return errors::DiskFull;
    case FileCondition::OutOfMemory: return errors::OutOfMemory;
    case FileCondition::NotReady: return errors::DiskNotReady;
    case FileCondition::EndOfFile: return errors::InputPastEndOfFile;
    case FileCondition::BadName: return errors::BadFileName;
    case FileCondition::DeviceError: return errors::DeviceIOError;
    }
    return errors::PathFileAccessError;
}

FileCondition ConditionOfWindowsError(unsigned long code) noexcept {
    using namespace windows_error;
    switch (code) {
    case FileNotFound: return FileCondition::FileNotFound;
    case PathNotFound:
    case BadNetPath:
    case BadNetName:
    case InvalidDrive:
    case Directory: return FileCondition::PathNotFound;
    case TooManyOpenFiles: return FileCondition::TooManyFiles;
    case AccessDenied: return FileCondition::AccessDenied;
    case FileExists:
    case AlreadyExists: return FileCondition::AlreadyExists;
    case SharingViolation:
    case LockViolation: return FileCondition::SharingViolation;
    case WriteProtect: return FileCondition::WriteProtected;
    case NotEnoughMemory:
    case OutOfMemory: return FileCondition::OutOfMemory;
    case NotReady: return FileCondition::NotReady;
    case HandleDiskFull:
    case DiskFull: return FileCondition::DiskFull;
    case HandleEof: return FileCondition::EndOfFile;
    case InvalidName:
    case BadPathName:
    case FileNameExcedRange:
    case InvalidHandle: return FileCondition::BadName;
    case Crc:
    case ReadFault:
    case WriteFault:
    case GenFailure: return FileCondition::DeviceError;
    default: return FileCondition::Other;
    }
}

FileCondition ConditionOfErrno(int code, bool parentFolderExists) noexcept {
    switch (code) {
    case ENOENT: return parentFolderExists ? FileCondition::FileNotFound : FileCondition::PathNotFound;
    case ENOTDIR: return FileCondition::PathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR: return FileCondition::AccessDenied;  // Windows refuses a folder opened as a file so
    case EEXIST: return FileCondition::AlreadyExists;
#ifdef ETXTBSY
    case ETXTBSY: return FileCondition::SharingViolation;
#endif
    case EROFS: return FileCondition::WriteProtected;
    case EMFILE:
    case ENFILE: return FileCondition::TooManyFiles;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return FileCondition::DiskFull;
    case EIO: return FileCondition::DeviceError;
    case ENOMEM: return FileCondition::OutOfMemory;
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF: return FileCondition::BadName;
    case ENXIO:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
    case ENODEV: return FileCondition::NotReady;
    default: return FileCondition::Other;
    }
}

}  // namespace tamberlo
