#include "remote/SshProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace tamberlo::remote {
namespace {

constexpr std::size_t keptErrorBytes = 64 * 1024;

class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const noexcept { return fd_; }
    void Reset(int fd) noexcept {
        Close();
        fd_ = fd;
    }
    int Release() noexcept { return std::exchange(fd_, -1); }
    void Close() noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Descriptor read;
    Descriptor write;
    Pipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("ssh: no pipe: ") + std::strerror(errno));
        read.Reset(ends[0]);
        write.Reset(ends[1]);
    }
};

class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawn_file_actions_init(&actions_);
        ::posix_spawnattr_init(&attributes_);
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

// A write to a pipe whose reader is gone fails with EPIPE here instead of
// raising SIGPIPE, which the command takes for a request to stop: the signal
// is blocked on this thread for the write, and one it raised is taken back.
bool WriteWithoutSigpipe(int fd, std::string_view bytes) {
    sigset_t pipeOnly;
    sigset_t before;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipeOnly, &before);
    bool written = true;
    while (!bytes.empty()) {
        const ssize_t count = ::write(fd, bytes.data(), bytes.size());
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            written = false;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(count));
    }
    if (!written) {
        const timespec none{};
        while (::sigtimedwait(&pipeOnly, nullptr, &none) < 0 && errno == EINTR) {}
    }
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return written;
}

}  // namespace

struct SshProcess::Native {
    pid_t pid = -1;
    bool reaped = false;
    int status = 0;
    Descriptor input;
    Descriptor output;
    Descriptor error;
    Pipe wake;  // written once ssh has ended: the error reader drains and stops
    mutable std::mutex errorLock;
    std::string errorText;
    std::thread errorReader;

    void ReadErrors() {
        pollfd watched[2] = {{error.Get(), POLLIN, 0}, {wake.read.Get(), POLLIN, 0}};
        bool draining = false;
        char buffer[4096];
        for (;;) {
            if (!draining && ::poll(watched, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            // ssh has ended: what it wrote is in the pipe already; a master
            // connection that outlives it may hold the pipe open.
            if (!draining && (watched[1].revents & POLLIN) != 0) {
                draining = true;
                ::fcntl(error.Get(), F_SETFL, ::fcntl(error.Get(), F_GETFL) | O_NONBLOCK);
            }
            const ssize_t count = ::read(error.Get(), buffer, sizeof buffer);
            if (count < 0 && errno == EINTR) continue;
            if (count <= 0) return;
            const std::lock_guard<std::mutex> held(errorLock);
            errorText.append(buffer, static_cast<std::size_t>(count));
            if (errorText.size() > keptErrorBytes) errorText.erase(0, errorText.size() - keptErrorBytes);
        }
    }

    Native() = default;
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    // However this side leaves, ssh does not outlive the object.
    ~Native() {
        if (pid <= 0 || reaped) return;
        input.Close();
        ::kill(-pid, SIGKILL);
        Reap();
    }

    void Reap() {
        if (reaped) return;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
        reaped = true;
        static_cast<void>(WriteWithoutSigpipe(wake.write.Get(), "x"));
        if (errorReader.joinable()) errorReader.join();
    }
};

SshProcess::SshProcess(const std::vector<std::string>& arguments) : native_(std::make_unique<Native>()) {
    if (arguments.empty()) throw std::logic_error("no ssh program");
    Pipe input;
    Pipe output;
    Pipe error;
    SpawnSetup setup;
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&defaults, signal);
    for (const int failed :
         {::posix_spawn_file_actions_adddup2(&setup.actions_, input.read.Get(), 0),
          ::posix_spawn_file_actions_adddup2(&setup.actions_, output.write.Get(), 1),
          ::posix_spawn_file_actions_adddup2(&setup.actions_, error.write.Get(), 2),
          ::posix_spawnattr_setpgroup(&setup.attributes_, 0), ::posix_spawnattr_setsigmask(&setup.attributes_, &none),
          ::posix_spawnattr_setsigdefault(&setup.attributes_, &defaults),
          ::posix_spawnattr_setflags(&setup.attributes_,
                                     POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF)}) {
        if (failed != 0) throw std::runtime_error(std::string("ssh could not be set up: ") + std::strerror(failed));
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int failed =
        ::posix_spawnp(&native_->pid, argv[0], &setup.actions_, &setup.attributes_, argv.data(), environ);
    if (failed != 0)
        throw std::runtime_error("the ssh client '" + arguments[0] +
                                 "' could not be started: " + std::strerror(failed));
    // This side keeps its own ends; ssh's are closed here when they go.
    native_->input.Reset(input.write.Release());
    native_->output.Reset(output.read.Release());
    native_->error.Reset(error.read.Release());
    native_->errorReader = std::thread([native = native_.get()] { native->ReadErrors(); });
}

SshProcess::~SshProcess() = default;

bool SshProcess::Write(std::string_view bytes) {
    if (native_->input.Get() < 0) return false;
    return WriteWithoutSigpipe(native_->input.Get(), bytes);
}

void SshProcess::CloseInput() { native_->input.Close(); }

int SshProcess::OutputDescriptor() const noexcept { return native_->output.Get(); }

long SshProcess::Read(char* buffer, std::size_t size, int waitMilliseconds) {
    for (;;) {
        pollfd watched{native_->output.Get(), POLLIN, 0};
        const int ready = ::poll(&watched, 1, waitMilliseconds);
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) throw std::runtime_error(std::string("reading from ssh: ") + std::strerror(errno));
        if (ready == 0) return -1;
        const ssize_t count = ::read(native_->output.Get(), buffer, size);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) throw std::runtime_error(std::string("reading from ssh: ") + std::strerror(errno));
        return static_cast<long>(count);
    }
}

int SshProcess::Wait() {
    native_->Reap();
    const int status = native_->status;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SshProcess::Kill() {
    if (!native_->reaped) ::kill(-native_->pid, SIGKILL);
}

std::string SshProcess::ErrorText() const {
    const std::lock_guard<std::mutex> held(native_->errorLock);
    return native_->errorText;
}

}  // namespace tamberlo::remote
