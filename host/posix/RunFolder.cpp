#include "host/RunFolder.h"

#include "host/Error.h"
#include "host/SystemError.h"
#include "host/TempFileNames.h"
#include "host/posix/GuardConnection.h"
#include "host/posix/GuardProtocol.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamberlo {

namespace {

constexpr const char* FolderPrefix = "tmpSAS";

}  // namespace

RunFolder::RunFolder() {
    // As CreateTempFile: a taken name gets new digits, many in a row mean
    // something else is wrong.
    constexpr int Attempts = 100;
    for (int attempt = 1;; ++attempt) {
        std::string folder = MakeTempFileName(FolderPrefix, "");
        if (::mkdir(folder.c_str(), 0700) == 0) {
            path_ = folder + '/';
            break;
        }
        if (errno != EEXIST) throw ErrorFromSystemCode(static_cast<unsigned long>(errno), folder);
        if (attempt == Attempts) throw RuntimeError(errors::PathFileAccessError);
    }
    // The umask may have taken bits away, never added any; 0700 exactly.
    ::chmod(path_.c_str(), 0700);
    guardChannel_ = GuardConnection::OfThisProcess().GuardFolder(path_).Release();
}

void RunFolder::MakePrivateFile(const std::string& path) const {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) throw ErrorFromSystemCode(static_cast<unsigned long>(errno), path);
    ::close(fd);
}

RunFolder::~RunFolder() {
    // The run has deleted its files: the empty folder goes in one call, and
    // only a folder something was left in is walked.
    if (::rmdir(path_.c_str()) != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    if (guardChannel_ >= 0) {
        const char released = guard::FolderReleased;
        ::send(guardChannel_, &released, 1, MSG_NOSIGNAL);
    }
    OwnedDescriptor(guardChannel_).Reset();
}

}  // namespace tamberlo
