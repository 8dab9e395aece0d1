#include "host/posix/GuardConnection.h"

#include "host/SystemError.h"
#include "host/posix/GuardProtocol.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo {

namespace {

constexpr const char* GuardName = "tamberlo-guard";

bool IsExecutable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

// Where the guard is looked for; see the class's comment.
std::string FindGuard() {
    if (const char* named = std::getenv("TAMBERLO_GUARD"); named != nullptr && *named != '\0') return named;
    char self[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (size > 0) {
        const std::string executable(self, static_cast<std::size_t>(size));
        const std::string folder = executable.substr(0, executable.find_last_of('/') + 1);
        for (const std::string& candidate : {folder + GuardName, folder + "../libexec/tamberlo/" + GuardName}) {
            if (IsExecutable(candidate)) return candidate;
        }
    }
    // Without /proc (a bare chroot) the program cannot find itself: the
    // build's own install folder, then the one the Linux packages use.
    for (const std::string& installed : {std::string(TAMBERLO_INSTALL_LIBEXECDIR) + "/tamberlo/" + GuardName,
                                         std::string("/usr/libexec/tamberlo/") + GuardName}) {
        if (IsExecutable(installed)) return installed;
    }
    return std::string();
}

// What the child of the vfork below needs, made before it: until it execs
// it may only make system calls, in memory it shares with this thread.
struct GuardStart {
    const char* program;
    char* const* argv;
    int control;  // becomes the guard's ControlDescriptor
    int null;     // the null device, for its standard streams
};

// In the child: a process group of its own (a Ctrl-C in the terminal is
// this process's to handle, which stops SAS with the grace period, not the
// guard's), the null device as its streams, its control socket. Every
// signal stays blocked through the exec, so that no handler of this
// process can run in the child; the guard sets its own mask at once (the
// exec has reset every handler to the default). Returns only on failure.
int ExecGuard(const GuardStart& start) {
    ::setpgid(0, 0);
    for (int stream = 0; stream < 3; ++stream)
        if (::dup2(start.null, stream) < 0) return errno;
    if (::dup2(start.control, guard::ControlDescriptor) < 0) return errno;
    // Nothing else of this process's stays open in the guard for its life.
    ::syscall(SYS_close_range, guard::ControlDescriptor + 1U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
    ::execve(start.program, start.argv, environ);
    return errno;
}

// Starts the guard the cheapest way: a vfork borrows this process's memory
// until the exec, so nothing of a large host program is copied, and the
// blocked signals need no disposition reset one by one. The process id, or
// -1 with the reason in `error`.
pid_t SpawnGuard(const GuardStart& start, int& error) {
    sigset_t all, old;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &old);
    // Written by the child only when it does not exec.
    volatile int childError = 0;
    const pid_t pid = ::vfork();
    if (pid == 0) {
        childError = ExecGuard(start);
        ::_exit(127);
    }
    error = pid < 0 ? errno : childError;
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (pid > 0 && error != 0) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {}
        return -1;
    }
    return pid;
}

}  // namespace

GuardConnection& GuardConnection::OfThisProcess() {
    // Never destroyed, so that a run made while other statics end still
    // finds it; the guard itself is let go at exit (EndAtExit).
    static GuardConnection* connection = new GuardConnection();
    return *connection;
}

void GuardConnection::EndAtExit() noexcept {
    GuardConnection& connection = OfThisProcess();
    if (connection.owner_ != ::getpid() || connection.control_.Get() < 0) return;
    // The guard ends once its control socket closes; waiting for it means
    // that a process using the library leaves no process behind when it exits.
    connection.control_.Reset();
    while (::waitpid(connection.guard_, nullptr, 0) < 0 && errno == EINTR) {}
}

bool GuardConnection::Connect(std::string& failure) {
    if (owner_ == ::getpid() && control_.Get() >= 0) return true;
    if (owner_ != ::getpid()) control_.Reset();  // the guard of the process this one was forked from
    guard_ = 0;
    const std::string program = FindGuard();
    if (program.empty()) {
        failure = std::string("the process guard ") + GuardName +
                  " was found neither beside the program nor in ../libexec/tamberlo/ nor in " +
                  TAMBERLO_INSTALL_LIBEXECDIR + "/tamberlo/ nor in /usr/libexec/tamberlo/ (TAMBERLO_GUARD may name it)";
        return false;
    }
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return false;
    }
    OwnedDescriptor mine(ends[0]);
    // Above the guard's own numbers, so that the dup2 below always makes a
    // copy without close-on-exec.
    OwnedDescriptor theirs(::fcntl(ends[1], F_DUPFD_CLOEXEC, guard::ControlDescriptor + 1));
    ::close(ends[1]);
    // Likewise above them, so that each dup2 to a stream makes a copy.
    const OwnedDescriptor opened(::open("/dev/null", O_RDWR | O_CLOEXEC));
    const OwnedDescriptor null(::fcntl(opened.Get(), F_DUPFD_CLOEXEC, guard::ControlDescriptor + 1));
    if (theirs.Get() < 0 || null.Get() < 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return false;
    }
    std::string served = std::to_string(::getpid());
    char* argv[] = {const_cast<char*>(GuardName), served.data(), nullptr};
    int error = 0;
    const pid_t pid = SpawnGuard({program.c_str(), argv, theirs.Get(), null.Get()}, error);
    if (pid < 0) {
        failure = "the process guard '" + program +
                  "' could not be started: " + SystemMessage(static_cast<unsigned long>(error));
        return false;
    }
    control_ = std::move(mine);
    guard_ = pid;
    if (owner_ != ::getpid()) std::atexit([] { OfThisProcess().EndAtExit(); });
    owner_ = ::getpid();
    return true;
}

void GuardConnection::Prepare() noexcept {
    try {
        const std::lock_guard<std::mutex> locked(lock_);
        std::string failure;
        Connect(failure);
    } catch (...) {
        // Out of memory: the first request tries again.
    }
}

bool GuardConnection::Send(const void* request, std::size_t size, const std::vector<int>& descriptors,
                           std::string& failure) {
    const std::lock_guard<std::mutex> locked(lock_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Connect(failure)) return false;
        iovec part{const_cast<void*>(request), size};
        alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * guard::StartRunDescriptors)] = {};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = space;
        message.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = SOL_SOCKET;
        header->cmsg_type = SCM_RIGHTS;
        header->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
        std::copy(descriptors.begin(), descriptors.end(), reinterpret_cast<int*>(CMSG_DATA(header)));
        ssize_t sent;
        while ((sent = ::sendmsg(control_.Get(), &message, MSG_NOSIGNAL)) < 0 && errno == EINTR) {}
        if (sent >= 0) return true;
        failure = "the process guard could not be reached: " + SystemMessage(static_cast<unsigned long>(errno));
        if (errno != EPIPE && errno != ECONNRESET && errno != ECONNREFUSED) return false;
        // The guard has gone: collected, and replaced once.
        control_.Reset();
        ::waitpid(guard_, nullptr, 0);
    }
    return false;
}

OwnedDescriptor GuardConnection::StartRun(const int (&streams)[4], const std::string& program, std::string& failure) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return {};
    }
    OwnedDescriptor channel(ends[0]);
    const OwnedDescriptor theirs(ends[1]);
    const guard::Request request{guard::RequestKind::StartRun};
    if (!Send(&request, sizeof request, {theirs.Get(), streams[0], streams[1], streams[2], streams[3]}, failure))
        return {};
    // The reaper reads it all before it starts anything.
    for (std::size_t done = 0; done < program.size();) {
        const ssize_t sent = ::send(channel.Get(), program.data() + done, program.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) {
            failure = "the process guard could not be reached: " + SystemMessage(static_cast<unsigned long>(errno));
            return {};
        }
        done += static_cast<std::size_t>(sent);
    }
    return channel;
}

OwnedDescriptor GuardConnection::GuardFolder(const std::string& folder) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return {};
    OwnedDescriptor channel(ends[0]);
    const OwnedDescriptor theirs(ends[1]);
    std::string request(sizeof(guard::Request), '\0');
    const guard::Request kind{guard::RequestKind::GuardFolder};
    std::memcpy(request.data(), &kind, sizeof kind);
    request += folder;
    std::string failure;
    if (!Send(request.data(), request.size(), {theirs.Get()}, failure)) return {};
    return channel;
}

}  // namespace tamberlo
