#include "guard/library/GuardConnection.h"

#include "guard/wire/ControlMessages.h"
#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"
#include "host/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/random.h>
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
    int link;     // becomes its FirstLinkDescriptor
    int null;     // the null device, for its standard streams
};

// In the child: a process group of its own (a Ctrl-C in the terminal is
// this process's to handle, which stops SAS with the grace period, not the
// guard's), the null device as its streams, its control socket and first
// link. Every signal stays blocked through the exec, so that no handler of
// this process can run in the child; the guard sets its own mask at once
// (the exec has reset every handler to the default). Returns only on failure.
int ExecGuard(const GuardStart& start) {
    ::setpgid(0, 0);
    for (int stream = 0; stream < 3; ++stream)
        if (::dup2(start.null, stream) < 0) return errno;
    if (::dup2(start.control, guard::ControlDescriptor) < 0) return errno;
    if (::dup2(start.link, guard::FirstLinkDescriptor) < 0) return errno;
    // Nothing else of this process's stays open in the guard for its life.
    ::syscall(SYS_close_range, guard::FirstLinkDescriptor + 1U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
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

bool PeerHasGone(int error) { return error == EPIPE || error == ECONNRESET || error == ECONNREFUSED; }

std::string Unreachable(int error) {
    return "the process guard could not be reached: " + SystemMessage(static_cast<unsigned long>(error));
}

// A SOCK_SEQPACKET pair: this process's end, and the other's numbered above
// the guard's own descriptors, so that the dup2 in ExecGuard always makes a
// copy without close-on-exec.
bool SocketPair(OwnedDescriptor& mine, OwnedDescriptor& theirs) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) return false;
    mine = OwnedDescriptor(ends[0]);
    theirs = OwnedDescriptor(::fcntl(ends[1], F_DUPFD_CLOEXEC, guard::FirstLinkDescriptor + 1));
    ::close(ends[1]);
    return theirs.Get() >= 0;
}

// Names this process's run folders apart from any other's.
std::string NewToken() {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, 0) != static_cast<ssize_t>(sizeof bits))
        bits = static_cast<std::uint64_t>(::getpid()) << 32 ^ static_cast<std::uint64_t>(::time(nullptr));
    char text[17];
    std::snprintf(text, sizeof text, "%012llx", static_cast<unsigned long long>(bits & 0xffffffffffffULL));
    return text;
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
    if (connection.owner_ != ::getpid()) return;
    // A thread that holds the lock as the process exits may be making a
    // run folder: the guard then looks for what is left.
    const bool locked = connection.lock_.try_lock();
    if (locked) {
        connection.LetGoLocked();
    } else {
        connection.control_.Reset();
        connection.endingGuard_ = connection.guard_;
    }
    // Waiting for the guard means that a process using the library leaves
    // no process behind when it exits.
    connection.CollectEndingGuard();
    if (locked) connection.lock_.unlock();
}

void GuardConnection::LetGo() noexcept {
    const std::lock_guard<std::mutex> locked(lock_);
    LetGoLocked();
}

void GuardConnection::LetGoLocked() noexcept {
    if (owner_ != ::getpid() || control_.Get() < 0) return;
    // With no run folder left, the guard need not look for any.
    if (liveFolders_ == 0) {
        const guard::ControlRequest clean{guard::ControlKind::Clean};
        guard::SendWithDescriptors(control_.Get(), &clean, sizeof clean, nullptr, 0);
    }
    // The guard ends once its control socket closes, and ends its reapers.
    freeReaper_.Reset();
    control_.Reset();
    endingGuard_ = guard_;
    guard_ = 0;
}

void GuardConnection::CollectEndingGuard() noexcept {
    if (endingGuard_ <= 0) return;
    while (::waitpid(endingGuard_, nullptr, 0) < 0 && errno == EINTR) {}
    endingGuard_ = 0;
}

void GuardConnection::AdoptThisProcess() {
    if (owner_ == ::getpid()) return;
    // What a process this one was forked from had is that process's.
    control_.Reset();
    guard_ = 0;
    endingGuard_ = 0;
    freeReaper_.Reset();
    sweptFolders_.clear();
    liveFolders_ = 0;
    token_ = NewToken();
    std::atexit([] { OfThisProcess().EndAtExit(); });
    owner_ = ::getpid();
}

bool GuardConnection::Connect(std::string& failure) {
    AdoptThisProcess();
    if (control_.Get() >= 0) {
        // The guard never writes on its control socket: readable means it
        // has gone, and its reapers (the free one too) go with it.
        pollfd control{control_.Get(), POLLIN, 0};
        if (::poll(&control, 1, 0) == 0) return true;
        control_.Reset();
        endingGuard_ = guard_;
    }
    CollectEndingGuard();
    // A guard that has gone took its reapers with it.
    freeReaper_.Reset();
    guard_ = 0;
    const std::string program = FindGuard();
    if (program.empty()) {
        failure = std::string("the process guard ") + GuardName +
                  " was found neither beside the program nor in ../libexec/tamberlo/ nor in " +
                  TAMBERLO_INSTALL_LIBEXECDIR + "/tamberlo/ nor in /usr/libexec/tamberlo/ (TAMBERLO_GUARD may name it)";
        return false;
    }
    OwnedDescriptor control, theirControl, link, theirLink;
    const OwnedDescriptor opened(::open("/dev/null", O_RDWR | O_CLOEXEC));
    // Above the guard's own numbers, so that each dup2 to a stream makes a copy.
    const OwnedDescriptor null(::fcntl(opened.Get(), F_DUPFD_CLOEXEC, guard::FirstLinkDescriptor + 1));
    if (!SocketPair(control, theirControl) || !SocketPair(link, theirLink) || null.Get() < 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return false;
    }
    std::string served = std::to_string(::getpid());
    char* argv[] = {const_cast<char*>(GuardName), served.data(), token_.data(), nullptr};
    int error = 0;
    const pid_t pid = SpawnGuard({program.c_str(), argv, theirControl.Get(), theirLink.Get(), null.Get()}, error);
    if (pid < 0) {
        failure = "the process guard '" + program +
                  "' could not be started: " + SystemMessage(static_cast<unsigned long>(error));
        return false;
    }
    control_ = std::move(control);
    guard_ = pid;
    freeReaper_ = std::move(link);
    // A guard that replaces one that has gone is told what it was told.
    for (const std::string& folder : sweptFolders_) {
        const std::string request = guard::SweepRequest(folder);
        guard::SendWithDescriptors(control_.Get(), request.data(), request.size(), nullptr, 0);
    }
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

bool GuardConnection::SendRequest(const std::string& request, int descriptor, std::string& failure) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Connect(failure)) return false;
        const int error =
            guard::SendWithDescriptors(control_.Get(), request.data(), request.size(), &descriptor, descriptor >= 0);
        if (error == 0) return true;
        failure = Unreachable(error);
        if (!PeerHasGone(error)) return false;
        // The guard has gone: collected, and replaced once.
        control_.Reset();
        endingGuard_ = guard_;
    }
    return false;
}

OwnedDescriptor GuardConnection::NewReaper(std::string& failure) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return {};
    }
    OwnedDescriptor link(ends[0]);
    const OwnedDescriptor theirs(ends[1]);
    const guard::ControlRequest request{guard::ControlKind::NewReaper};
    if (!SendRequest(std::string(reinterpret_cast<const char*>(&request), sizeof request), theirs.Get(), failure))
        return {};
    return link;
}

GuardConnection::Run GuardConnection::StartRun(const int (&streams)[4], const std::string& program,
                                               std::string& failure) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        failure = SystemMessage(static_cast<unsigned long>(errno));
        return {};
    }
    Run run{OwnedDescriptor(ends[0]), {}};
    OwnedDescriptor theirs(ends[1]);
    const int descriptors[guard::StartRunDescriptors] = {theirs.Get(), streams[0], streams[1], streams[2], streams[3]};
    const guard::LinkRequest request{guard::LinkKind::StartRun};
    // The free reaper may have gone (someone ended it, or its guard); then
    // one more try, with a new reaper or a new guard, and no more.
    for (int attempt = 0;; ++attempt) {
        OwnedDescriptor link;
        bool fresh = false;
        {
            const std::lock_guard<std::mutex> locked(lock_);
            if (!Connect(failure)) return {};
            run.guard = guard_;
            link = std::move(freeReaper_);
            if (link.Get() < 0) {
                link = NewReaper(failure);
                fresh = true;
                if (link.Get() < 0) return {};
            }
        }
        const int error =
            guard::SendWithDescriptors(link.Get(), &request, sizeof request, descriptors, guard::StartRunDescriptors);
        if (error == 0) {
            run.link = std::move(link);
            break;
        }
        failure = Unreachable(error);
        if (const int refused = ReaperRefusal(link.Get()); refused != 0) {
            failure = SystemMessage(static_cast<unsigned long>(refused));
            return {};
        }
        if (fresh || attempt > 0 || !PeerHasGone(error)) return {};
    }
    theirs.Reset();
    // The reaper reads it all before it starts anything.
    if (const int error = guard::WriteAll(run.channel.Get(), program.data(), program.size()); error != 0) {
        failure = Unreachable(error);
        return {};
    }
    return run;
}

bool GuardConnection::GuardRuns(int guard) noexcept {
    const std::lock_guard<std::mutex> locked(lock_);
    if (owner_ != ::getpid() || control_.Get() < 0 || guard != guard_) return false;
    pollfd control{control_.Get(), POLLIN, 0};
    return ::poll(&control, 1, 0) == 0;
}

void GuardConnection::GiveBack(OwnedDescriptor link) noexcept {
    const std::lock_guard<std::mutex> locked(lock_);
    if (owner_ != ::getpid() || control_.Get() < 0) return;
    // One is kept here for the next run; more (after runs made at once) are
    // kept by the guard, so that this process holds no more descriptors
    // than after one run at a time. A link closed ends its reaper.
    if (freeReaper_.Get() < 0) {
        freeReaper_ = std::move(link);
        return;
    }
    const guard::ControlRequest park{guard::ControlKind::ParkReaper};
    const int descriptor = link.Get();
    guard::SendWithDescriptors(control_.Get(), &park, sizeof park, &descriptor, 1);
}

int GuardConnection::ReaperRefusal(int link) noexcept {
    guard::NoReaperMessage refused{};
    ssize_t got = ::recv(link, &refused, sizeof refused, MSG_DONTWAIT);
    // A guard that closed the link with a run unread in it reports that
    // first (once), ahead of what it had said.
    if (got < 0 && errno == ECONNRESET) got = ::recv(link, &refused, sizeof refused, MSG_DONTWAIT);
    if (got != static_cast<ssize_t>(sizeof refused) || refused.kind != guard::LinkKind::NoReaper) return 0;
    return refused.error != 0 ? refused.error : EAGAIN;
}

std::string GuardConnection::RunFolderPrefix(const std::string& temporary) {
    const std::lock_guard<std::mutex> locked(lock_);
    std::string failure;
    if (Connect(failure)) {
        // The guard's current folder is not this process's.
        std::string folder = temporary;
        if (folder.empty() || folder.front() != '/') {
            char current[PATH_MAX];
            if (::getcwd(current, sizeof current) != nullptr) folder = std::string(current) + "/" + folder;
        }
        if (sweptFolders_.insert(folder).second) SendRequest(guard::SweepRequest(folder), -1, failure);
    }
    // Without a guard no run starts; the folder still goes with its run.
    ++liveFolders_;
    return std::string(guard::FolderPrefix) + "_" + token_;
}

void GuardConnection::FolderRemoved() noexcept {
    const std::lock_guard<std::mutex> locked(lock_);
    if (liveFolders_ > 0) --liveFolders_;
}

}  // namespace tamberlo
