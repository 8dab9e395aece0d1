#include "FileFaults.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <stdexcept>
#include <sys/syscall.h>
#include <unistd.h>

namespace tamberlo::reliability {

namespace {

struct Armed {
    std::string pathPart;
    FileFault::Action action;
    int error;
    int fromOpen;
    int seen = 0;
    std::set<int> failingDescriptors;
};

std::atomic<bool> anyArmed{false};
std::mutex guard;
Armed* armed = nullptr;

int RealOpen(const char* path, int flags, mode_t mode) {
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

int Open(const char* path, int flags, mode_t mode) {
    if (!anyArmed.load(std::memory_order_acquire) || path == nullptr) return RealOpen(path, flags, mode);
    std::lock_guard<std::mutex> lock(guard);
    if (armed == nullptr || std::string(path).find(armed->pathPart) == std::string::npos)
        return RealOpen(path, flags, mode);
    if (++armed->seen < armed->fromOpen) return RealOpen(path, flags, mode);
    switch (armed->action) {
    case FileFault::Action::VanishBeforeOpen:
        ::unlink(path);
        return RealOpen(path, flags, mode);
    case FileFault::Action::FailOpen:
        errno = armed->error;
        return -1;
    case FileFault::Action::FailWrites: {
        const int fd = RealOpen(path, flags, mode);
        if (fd >= 0) armed->failingDescriptors.insert(fd);
        return fd;
    }
    }
    return RealOpen(path, flags, mode);
}

// The error that writes to `fd` fail with, or 0.
int WriteFailure(int fd) {
    if (!anyArmed.load(std::memory_order_acquire)) return 0;
    std::lock_guard<std::mutex> lock(guard);
    return armed != nullptr && armed->failingDescriptors.count(fd) ? armed->error : 0;
}

void Forget(int fd) {
    if (!anyArmed.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(guard);
    if (armed != nullptr) armed->failingDescriptors.erase(fd);
}

mode_t ModeArgument(int flags, va_list arguments) {
    return (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(arguments, unsigned)) : 0;
}

}  // namespace

FileFault::FileFault(std::string pathPart, Action action, int error, int fromOpen) {
    std::lock_guard<std::mutex> lock(guard);
    if (armed != nullptr) throw std::logic_error("one file fault at a time");
    armed = new Armed{std::move(pathPart), action, error, fromOpen, 0, {}};
    anyArmed.store(true, std::memory_order_release);
}

FileFault::~FileFault() {
    std::lock_guard<std::mutex> lock(guard);
    anyArmed.store(false, std::memory_order_release);
    delete armed;
    armed = nullptr;
}

int FileFault::MatchingOpens() const {
    std::lock_guard<std::mutex> lock(guard);
    return armed ? armed->seen : 0;
}

}  // namespace tamberlo::reliability

// The interposed calls. They must behave exactly as the C library's do
// whenever no fault applies: every program part (the test framework too)
// comes through here.
extern "C" int open(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = tamberlo::reliability::ModeArgument(flags, arguments);
    va_end(arguments);
    return tamberlo::reliability::Open(path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = tamberlo::reliability::ModeArgument(flags, arguments);
    va_end(arguments);
    return tamberlo::reliability::Open(path, flags, mode);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
    if (const int error = tamberlo::reliability::WriteFailure(fd)) {
        errno = error;
        return -1;
    }
    return ::syscall(SYS_write, fd, buffer, size);
}

extern "C" int close(int fd) {
    tamberlo::reliability::Forget(fd);
    return static_cast<int>(::syscall(SYS_close, fd));
}
