#include "host/SystemError.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tamberlo {

namespace {

// ENOENT covers both a missing file and a missing folder on the way to it;
// Windows tells them apart, and so does the component.
bool ParentFolderExists(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return true;  // relative to the current folder
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    struct stat info {};
    return ::stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

Error ErrorFromSystemCode(unsigned long code, const std::string& path) {
    const int number = static_cast<int>(code);
    // Only a missing entry needs the look at the parent folder.
    const bool parentExists = number != ENOENT || ParentFolderExists(path);
    Error error = RuntimeError(RuntimeNumberOf(ConditionOfErrno(number, parentExists)));
    error.SetDetail(SystemMessage(code));
    return error;
}

bool MeansFileNotFound(unsigned long code, const std::string& path) {
    const int number = static_cast<int>(code);
    return RuntimeNumberOf(ConditionOfErrno(number, number != ENOENT || ParentFolderExists(path))) ==
           errors::FileNotFound;
}

std::string SystemMessage(unsigned long code) { return std::strerror(static_cast<int>(code)); }

}  // namespace tamberlo
