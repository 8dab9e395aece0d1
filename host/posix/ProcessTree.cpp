#include "host/ProcessTree.h"

#include "host/CommandLine.h"
#include "host/StopSignal.h"
#include "host/SystemError.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#ifdef __linux__
#include <sys/prctl.h>
#endif

extern char** environ;

namespace tamberlo {

namespace {

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

// Without a process descriptor nothing tells the wait that the leader has
// ended: it looks in this often. A SIGCHLD handler would do it at once, but
// a library must not take over its host program's signals.
constexpr std::chrono::milliseconds WithoutDescriptorStep{5};

// How often a terminated group is looked at while it tidies up.
constexpr std::chrono::milliseconds AllEndedStep{10};

// The files that execve is tried on, in order: the name itself when it holds
// a slash, else the name in each folder of PATH (an empty entry is the
// current folder), as posix_spawnp searches and CreateProcess finds a bare name.
std::vector<std::string> Candidates(const std::string& name) {
    if (name.find('/') != std::string::npos) return {name};
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    for (std::size_t start = 0;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end - start);
        candidates.push_back(folder.empty() ? name : folder + "/" + name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return candidates;
}

// Both ends of the pipe through which a child that cannot execute its
// program reports why; closed on every way out, and on exec by themselves.
class ReportPipe {
public:
    ReportPipe() noexcept {
        if (::pipe2(ends_, O_CLOEXEC) != 0) ends_[0] = ends_[1] = -1;
    }
    ~ReportPipe() {
        CloseWriteEnd();
        if (ends_[0] >= 0) ::close(ends_[0]);
    }
    ReportPipe(const ReportPipe&) = delete;
    ReportPipe& operator=(const ReportPipe&) = delete;

    bool Made() const noexcept { return ends_[0] >= 0; }
    int WriteEnd() const noexcept { return ends_[1]; }
    void CloseWriteEnd() noexcept {
        if (ends_[1] >= 0) ::close(ends_[1]);
        ends_[1] = -1;
    }
    // The child's errno, or 0 once it has executed its program.
    int Read() noexcept {
        int code = 0;
        ssize_t got;
        while ((got = ::read(ends_[0], &code, sizeof code)) < 0 && errno == EINTR) {
        }
        return got == static_cast<ssize_t>(sizeof code) ? code : 0;
    }

private:
    int ends_[2];
};

// True while a process of the group `group` other than an ended one (a
// zombie) is still there. Its members need not be this process's children
// (a wrapper's own child is not), so Linux's process table is read; where
// there is none, the group counts as ended.
bool GroupRuns(pid_t group) {
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return false;
    bool runs = false;
    while (const dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
        char path[sizeof "/proc//stat" + sizeof entry->d_name];
        std::snprintf(path, sizeof path, "/proc/%s/stat", entry->d_name);
        const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char stat[512];
        const ssize_t got = ::read(fd, stat, sizeof stat - 1);
        ::close(fd);
        if (got <= 0) continue;
        stat[got] = '\0';
        // After the command name in parentheses: state, parent, group.
        const char* close = std::strrchr(stat, ')');
        char state = 0;
        long parent = 0, itsGroup = 0;
        if (close != nullptr && std::sscanf(close + 1, " %c %ld %ld", &state, &parent, &itsGroup) == 3 &&
            itsGroup == group && state != 'Z' && state != 'X') {
            runs = true;
            break;
        }
    }
    ::closedir(proc);
    return runs;
}

// In the child between fork and exec: only calls that are safe after a
// fork in a program with threads. Never returns.
[[noreturn]] void BecomeProgram(const std::vector<std::string>& candidates, char* const* argv, const char* consoleFile,
                                pid_t parent, int reportEnd) {
    int failure = 0;
    ::setpgid(0, 0);
#ifdef __linux__
    // Dies with the thread that started it; a parent already gone is not waited for.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
#else
    static_cast<void>(parent);
#endif
    if (consoleFile != nullptr) {
        const int fd = ::open(consoleFile, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0600);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0 || ::dup2(fd, STDERR_FILENO) < 0) failure = errno;
        if (fd > STDERR_FILENO) ::close(fd);
    }
    // The host's handlers are not the program's: caught signals go back to
    // their default before the signals blocked for the fork are let through.
    // Ignored ones stay ignored (nohup), as across any exec.
    for (int signal = 1; signal < NSIG; ++signal) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_DFL &&
            current.sa_handler != SIG_IGN) {
            struct sigaction byDefault {};
            byDefault.sa_handler = SIG_DFL;
            ::sigaction(signal, &byDefault, nullptr);
        }
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (failure == 0) {
        bool denied = false;
        for (const std::string& candidate : candidates) {
            ::execve(candidate.c_str(), argv, environ);
            if (errno == EACCES) denied = true;
            failure = errno;
            if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) break;
        }
        if (denied && (failure == ENOENT || failure == ENOTDIR)) failure = EACCES;
    }
    [[maybe_unused]] const ssize_t written = ::write(reportEnd, &failure, sizeof failure);
    ::_exit(127);
}

}  // namespace

std::string ProcessTree::Start(const std::string& cmdline, const std::string& consoleFile) {
    std::vector<std::string> args = SplitCommandLine(cmdline);
    if (args.empty() || args.front().empty()) return SystemMessage(ENOENT);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::vector<std::string> candidates = Candidates(args.front());

    ReportPipe report;
    if (!report.Made()) return SystemMessage(static_cast<unsigned long>(errno));
    // No handler of the host may run in the child before its exec.
    sigset_t all, before;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &before);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        BecomeProgram(candidates, argv.data(), consoleFile.empty() ? nullptr : consoleFile.c_str(), parent,
                      report.WriteEnd());
    const int forkFailure = errno;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (pid < 0) return SystemMessage(static_cast<unsigned long>(forkFailure));
    // Also from this side, so that the group exists before any signal is sent to it.
    ::setpgid(pid, pid);
    report.CloseWriteEnd();
    if (const int failure = report.Read()) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return SystemMessage(static_cast<unsigned long>(failure));
    }
    pid_ = pid;
    running_ = true;
#ifdef SYS_pidfd_open
    pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
    return {};
}

ProcessTree::Wake ProcessTree::Wait(const StopSignal* stop, std::optional<std::chrono::milliseconds> timeout) noexcept {
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
    for (;;) {
        if (pidfd_ < 0) {
            siginfo_t info{};
            // ECHILD: nothing left to wait for; Reap tells why.
            if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid != 0)
                return Wake::Ended;
        }
        pollfd waitables[2];
        nfds_t count = 0;
        if (pidfd_ >= 0) waitables[count++] = {pidfd_, POLLIN, 0};
        if (stop != nullptr) waitables[count++] = {stop->NativeWaitable(), POLLIN, 0};
        std::optional<std::chrono::milliseconds> wait;
        if (timeout) wait = std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()),
                                     std::chrono::milliseconds(0));
        if (pidfd_ < 0) wait = wait ? std::min(*wait, WithoutDescriptorStep) : WithoutDescriptorStep;
        const int ready = ::poll(waitables, count, wait ? static_cast<int>(wait->count()) : -1);
        if (ready < 0 && errno != EINTR) {
            // Out of memory for the poll: look round in steps from here on.
            ::close(pidfd_);
            pidfd_ = -1;
            continue;
        }
        if (ready < 0) return Wake::Other;  // a signal: the caller looks at everything again
        if (pidfd_ >= 0 && (waitables[0].revents & POLLIN)) return Wake::Ended;
        if (stop != nullptr && stop->IsRequested()) return Wake::Other;
        if (Clock::now() >= deadline) return Wake::Other;
    }
}

void ProcessTree::WaitUntilAllEnded(std::chrono::milliseconds timeout, const StopSignal* hurry) noexcept {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds(0) || (hurry != nullptr && hurry->IsRequested())) return;
        const auto step = std::min(left, AllEndedStep);
        // The leader first: while it runs its end (or the hurry) wakes the wait at once.
        if (Wait(hurry, step) != Wake::Ended) continue;
        if (!GroupRuns(pid_)) return;
        ::usleep(static_cast<useconds_t>(step.count()) * 1000);
    }
}

void ProcessTree::Terminate() noexcept {
    if (running_) ::kill(-pid_, SIGTERM);
}

ProcessTree::Exit ProcessTree::Reap() noexcept {
    Exit exit;
    // Until the leader is collected the group's id cannot go to another
    // process, so the kill reaches only this tree.
    ::kill(-pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
        if (errno == EINTR) continue;
        exit.lost = SystemMessage(static_cast<unsigned long>(errno));
        break;
    }
    if (exit.lost.empty()) exit.code = ExitCodeOf(status);
    running_ = false;
    if (pidfd_ >= 0) ::close(pidfd_);
    pidfd_ = -1;
    return exit;
}

ProcessTree::~ProcessTree() {
    if (running_) Reap();
}

}  // namespace tamberlo
