#include "cli/remoteside/SentFolder.h"

#include "cli/base/SystemFailure.h"
#include "cli/remoteside/RequestRefused.h"
#include "cli/remoteside/SentFileName.h"
#include "remote/wire/PrintableBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamberlo::cli {

namespace {

// A descriptor that closes itself.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

std::string Shown(const std::string& name) { return "\"" + remote::PrintableBytes(name, 256) + "\""; }

// Why `error` stopped a file from being made: the sender's fault (a name
// taken or a link in the way) is a refusal, the system's a failure.
[[noreturn]] void Fail(int error, const std::string& name) {
    if (error == EEXIST) throw RequestRefused("the file " + Shown(name) + " was sent twice, or as a folder too");
    if (error == ENOTDIR || error == ELOOP) {
        throw RequestRefused("the file name " + Shown(name) + " is refused: it passes through a file or link");
    }
    throw SystemFailure("the sent file " + Shown(name) + ": " + std::strerror(error));
}

// Opens (making it when missing) the folder `part` in `parent`, never
// through a link.
Descriptor OpenFolder(int parent, const std::string& part, const std::string& name) {
    if (::mkdirat(parent, part.c_str(), 0700) != 0 && errno != EEXIST) Fail(errno, name);
    const int fd = ::openat(parent, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) Fail(errno, name);
    return Descriptor(fd);
}

void WriteAll(int fd, const std::string& bytes, const std::string& name) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) Fail(errno, name);
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

}  // namespace

SentFolder::SentFolder() = default;

void SentFolder::Write(const remote::SentFile& file) {
    const std::vector<std::string> parts = SentFileParts(file.path);
    Descriptor folder(::open(folder_.Path().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0) Fail(errno, file.path);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) folder = OpenFolder(folder.get(), parts[i], file.path);
    const mode_t mode = static_cast<mode_t>(file.mode & 0777u);
    const Descriptor out(
        ::openat(folder.get(), parts.back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) Fail(errno, file.path);
    try {
        WriteAll(out.get(), file.bytes, file.path);
    } catch (...) {
        ::unlinkat(folder.get(), parts.back().c_str(), 0);
        throw;
    }
    // Exactly the sender's bits, whatever the umask took away.
    ::fchmod(out.get(), mode);
}

std::string SentFolder::Path() const {
    std::string path = folder_.Path();
    path.pop_back();
    return path;
}

}  // namespace tamberlo::cli
