#include "host/SystemError.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tamberlo {

namespace {

// ENOENT covers both a missing file and a missing folder on the way to it;
// Windows tells them apart (53 and 76), and so does the component.
bool ParentFolderExists(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;  // relative to the current folder
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

long RuntimeNumberForErrno(int code, const std::string& path) {
    switch (code) {
    case ENOENT: return ParentFolderExists(path) ? errors::FileNotFound : errors::PathNotFound;
    case ENOTDIR: return errors::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return errors::PermissionDenied;
    case EISDIR:
    case EEXIST: return errors::PathFileAccessError;
    case EMFILE:
    case ENFILE: return errors::TooManyFiles;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return errors::DiskFull;
    case EIO: return errors::DeviceIOError;
    case ENOMEM: return errors::OutOfMemory;
    case ENAMETOOLONG:
    case EINVAL:
    case EBADF: return errors::BadFileName;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM: return errors::DiskNotReady;
    default: return errors::PathFileAccessError;
    }
}

}  // namespace

Error ErrorFromSystemCode(unsigned long code, const std::string& path) {
    return RuntimeError(RuntimeNumberForErrno(static_cast<int>(code), path));
}

std::string SystemMessage(unsigned long code) {
    return std::strerror(static_cast<int>(code));
}

}  // namespace tamberlo
