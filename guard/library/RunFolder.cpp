#include "host/RunFolder.h"

#include "guard/library/GuardConnection.h"
#include "host/Error.h"
#include "host/SystemError.h"
#include "host/TempFileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tamberlo {

RunFolder::RunFolder() {
    GuardConnection& guard = GuardConnection::OfThisProcess();
    const std::string temporary = GetTempDirectory();
    const std::string prefix = guard.RunFolderPrefix(temporary);
    const TempFileNamer names(temporary);
    // As CreateTempFile: a taken name gets new digits, many in a row mean
    // something else is wrong.
    constexpr int Attempts = 100;
    for (int attempt = 1;; ++attempt) {
        std::string folder = names.Name(prefix, "");
        if (::mkdir(folder.c_str(), 0700) == 0) {
            path_ = folder + '/';
            break;
        }
        const int error = errno;
        if (error == EEXIST && attempt < Attempts) continue;
        guard.FolderRemoved();  // none was made
        if (error != EEXIST) throw ErrorFromSystemCode(static_cast<unsigned long>(error), folder);
        throw RuntimeError(errors::PathFileAccessError);
    }
    // The umask may have taken bits away, never added any; 0700 exactly.
    ::chmod(path_.c_str(), 0700);
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
    GuardConnection::OfThisProcess().FolderRemoved();
}

}  // namespace tamberlo
