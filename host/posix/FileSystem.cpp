#include "host/FileSystem.h"

#include "host/FileEnv.h"
#include "host/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace tamberlo::filesystem {

namespace {

// Owns one open descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&&) = delete;

    int get() const noexcept { return fd_; }
    // Hands the descriptor on to a new owner.
    void Release() noexcept { fd_ = -1; }
    // Closes now, so that a failure of the close itself (a full disk on some
    // file systems) can be reported.
    int Close() noexcept {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

[[noreturn]] void ThrowLastError(const std::string& path) {
    throw ErrorFromSystemCode(static_cast<unsigned long>(errno), path);
}

// The errno of a fault put on a call by the installed FileEnv; 0 for none.
int SystemCode(Fault fault) noexcept {
    switch (fault) {
    case Fault::None: return 0;
    case Fault::FileNotFound: return ENOENT;
    case Fault::AccessDenied: return EACCES;
    case Fault::TooManyFiles: return EMFILE;
    case Fault::DiskFull: return ENOSPC;
    }
    return 0;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
    if (FileEnv* env = InstalledFileEnv()) {
        if (const int fault = SystemCode(env->Open(path))) {
            errno = fault;
            return -1;
        }
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

Descriptor OpenOrThrow(const std::string& path, int flags) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const int fd = OpenRetrying(path, flags, 0666);
    if (fd < 0) ThrowLastError(path);
    return Descriptor(fd);
}

void WriteAll(const Descriptor& fd, std::string_view text, const std::string& path) {
    FileEnv* env = InstalledFileEnv();
    while (!text.empty()) {
        if (const int fault = env ? SystemCode(env->Write(path)) : 0) {
            errno = fault;
            ThrowLastError(path);
        }
        const ssize_t written = ::write(fd.get(), text.data(), text.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            ThrowLastError(path);
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Returns when the system's reason is the one reported as a missing file
// (53); throws the error of any other reason. A missing file is the usual
// case (a run reads the listing that SAS did not write): it makes no error.
void ThrowUnlessNotFound(int reason, const std::string& path) {
    const auto code = static_cast<unsigned long>(reason);
    if (!MeansFileNotFound(code, path)) throw ErrorFromSystemCode(code, path);
}

// Directories are refused as Windows refuses them, and so are FIFOs and
// sockets: reading one could wait for ever. The file was opened without
// blocking, so that a FIFO without a writer could not hold up the open
// itself; reads block again from here on (a regular file ignores the flag,
// so it is left alone there).
void PrepareForReading(const Descriptor& fd, struct stat& info, const std::string& path) {
    if (::fstat(fd.get(), &info) != 0) ThrowLastError(path);
    if (S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode))
        throw ErrorFromSystemCode(EISDIR, path);
    if (S_ISREG(info.st_mode)) return;
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) ThrowLastError(path);
}

// Opens an existing regular file (or device) for reading.
Descriptor OpenForReading(const std::string& path, struct stat& info) {
    Descriptor fd = OpenOrThrow(path, O_RDONLY | O_NONBLOCK);
    PrepareForReading(fd, info, path);
    return fd;
}

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t ReadUpTo(int fd, char* buffer, std::size_t size, const std::string& path) {
    const std::size_t cap = ReadCapOf(path);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, buffer + filled, std::min(size - filled, cap));
        if (got < 0) {
            if (errno == EINTR) continue;
            ThrowLastError(path);
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    return filled;
}

// The rest of a file opened for reading, from its start. The first read
// asks for more than fstat saw: a regular file returns fewer bytes than
// asked only at its end, so a file that did not grow is read in one call.
// One that grew since fstat, or a device, is read on to its end.
std::string ReadToEnd(const Descriptor& fd, const struct stat& info, const std::string& path) {
    std::string content(static_cast<std::size_t>(info.st_size), '\0');
    const std::size_t expected = content.size();
    char more[4096];
    const std::size_t cap = ReadCapOf(path);
    iovec parts[2] = {{content.data(), std::min(expected, cap)},
                      {more, std::min(sizeof more, cap - std::min(expected, cap))}};
    ssize_t got;
    while ((got = ::readv(fd.get(), parts, 2)) < 0) {
        if (errno != EINTR) ThrowLastError(path);
    }
    const auto first = static_cast<std::size_t>(got);
    bool atEnd = first == expected;
    if (first > expected) {
        content.append(more, first - expected);
        atEnd = first < expected + sizeof more;
    } else if (first < expected) {
        // Short of what fstat saw: a file that shrank, or a read the system
        // capped (Linux reads at most 2 GiB at once). The rest the plain way.
        const std::size_t rest = ReadUpTo(fd.get(), content.data() + first, expected - first, path);
        content.resize(first + rest);
        atEnd = first + rest < expected;
    }
    if (S_ISREG(info.st_mode) && atEnd) return content;
    while (const std::size_t next = ReadUpTo(fd.get(), more, sizeof more, path)) content.append(more, next);
    return content;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    struct stat info {};
    const Descriptor fd = OpenForReading(path, info);
    return ReadToEnd(fd, info, path);
}

std::optional<std::string> ReadWholeFileIfPresent(const std::string& path) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const int opened = OpenRetrying(path, O_RDONLY | O_NONBLOCK, 0);
    if (opened < 0) {
        ThrowUnlessNotFound(errno, path);
        return std::nullopt;
    }
    const Descriptor fd(opened);
    struct stat info {};
    PrepareForReading(fd, info, path);
    return ReadToEnd(fd, info, path);
}

RegularFileRead ReadRegularFileIfPresent(const std::string& path, std::uintmax_t limit) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const int opened = OpenRetrying(path, O_RDONLY | O_NONBLOCK, 0);
    if (opened < 0) {
        ThrowUnlessNotFound(errno, path);
        return {};
    }
    const Descriptor fd(opened);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) ThrowLastError(path);
    if (!S_ISREG(info.st_mode)) return {RegularFileRead::Outcome::NotRegular, {}};
    if (static_cast<std::uintmax_t>(info.st_size) > limit) return {RegularFileRead::Outcome::TooLarge, {}};
    RegularFileRead read{RegularFileRead::Outcome::Read, ReadToEnd(fd, info, path)};
    // One that grew while it was read.
    if (read.text.size() > limit) return {RegularFileRead::Outcome::TooLarge, {}};
    return read;
}

std::FILE* OpenExistingForWriting(const std::filesystem::path& path) {
    const std::string& name = path.native();
    if (NamesNoFile(name)) throw RuntimeError(errors::BadFileName);
    // Without waiting: a pipe that nothing reads fails with ENXIO at once
    // instead of holding the command up until a reader comes.
    const int opened = OpenRetrying(name, O_WRONLY | O_TRUNC | O_NONBLOCK, 0);
    if (opened < 0) {
        if (errno == ENXIO) return nullptr;
        ThrowLastError(name);
    }
    Descriptor fd(opened);
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) ThrowLastError(name);
    std::FILE* stream = ::fdopen(fd.get(), "wb");
    if (stream == nullptr) ThrowLastError(name);
    fd.Release();
    return stream;
}

std::optional<FileStamp> StampOfRegularFile(const std::string& path) noexcept {
    struct stat info {};
    if (NamesNoFile(path) || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const auto nanoseconds = [](const timespec& time) {
        return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
    };
    return FileStamp{static_cast<std::uintmax_t>(info.st_size), nanoseconds(info.st_mtim),
                     static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                     nanoseconds(info.st_ctim)};
}

void WriteWholeFile(const std::string& path, std::string_view text, WriteMode mode) {
    const int flags = O_WRONLY | O_CREAT | (mode == WriteMode::Append ? O_APPEND : O_TRUNC);
    Descriptor fd = OpenOrThrow(path, flags);
    WriteAll(fd, text, path);
    if (fd.Close() != 0) ThrowLastError(path);
}

bool CreateNewFile(const std::string& path, std::string_view text) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    // O_EXCL fails on any existing name, a link (even a dangling one)
    // included; O_NOFOLLOW says so once more. A temporary file may hold a
    // program's passwords or data: only its owner (and SAS, run as the
    // owner) reads it.
    Descriptor fd(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
    if (fd.get() < 0) {
        if (errno == EEXIST) return false;
        ThrowLastError(path);
    }
    try {
        WriteAll(fd, text, path);
        if (fd.Close() != 0) ThrowLastError(path);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    if (!RemoveFileIfPresent(path)) throw RuntimeError(errors::FileNotFound);
}

bool RemoveFileIfPresent(const std::string& path) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    // Asked only once unlink() has failed: a run deletes three files, and
    // most deletions succeed.
    if (::unlink(path.c_str()) == 0) return true;
    const int reason = errno;
    struct stat info {};
    // unlink() refuses a folder with EISDIR or EPERM depending on the
    // system; report it the same way everywhere.
    if (reason != ENOENT && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw ErrorFromSystemCode(EISDIR, path);
    ThrowUnlessNotFound(reason, path);
    return false;
}

void DiscardFile(const std::string& path) noexcept {
    if (!NamesNoFile(path)) ::unlink(path.c_str());
}

void CheckReadable(const std::string& path) {
    struct stat info {};
    Descriptor fd = OpenForReading(path, info);
}

bool CheckReadableIfPresent(const std::string& path) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const int fd = OpenRetrying(path, O_RDONLY | O_NONBLOCK, 0);
    if (fd < 0) {
        ThrowUnlessNotFound(errno, path);
        return false;
    }
    const Descriptor owned(fd);
    struct stat info {};
    PrepareForReading(owned, info, path);
    return true;
}

bool ProbeReadable(const std::string& path) noexcept {
    // Every run asks this of SAS and its configuration: a stat and an access
    // check cost less than opening and closing the file, and tell the same.
    // Folders, FIFOs and sockets are refused as reading them is.
    if (NamesNoFile(path)) return false;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return false;
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) == 0;
}

// A std::filesystem path is the system's bytes, as a narrow path is.
std::string ReadWholeFile(const std::filesystem::path& path) { return ReadWholeFile(path.native()); }
RegularFileRead ReadRegularFileIfPresent(const std::filesystem::path& path, std::uintmax_t limit) {
    return ReadRegularFileIfPresent(path.native(), limit);
}
void WriteWholeFile(const std::filesystem::path& path, std::string_view text, WriteMode mode) {
    WriteWholeFile(path.native(), text, mode);
}
bool CreateNewFile(const std::filesystem::path& path, std::string_view text) {
    return CreateNewFile(path.native(), text);
}
void CheckReadable(const std::filesystem::path& path) { CheckReadable(path.native()); }
void DiscardFile(const std::filesystem::path& path) noexcept { DiscardFile(path.native()); }

std::optional<std::string> FileIdentity(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

char PathSeparator() noexcept { return '/'; }

bool NamesIgnoreCase() noexcept { return false; }

bool ProgramExpandsWildcards() noexcept { return false; }

}  // namespace tamberlo::filesystem
