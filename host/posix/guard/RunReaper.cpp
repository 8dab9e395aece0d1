#include "RunReaper.h"

#include "Descendants.h"
#include "SignalWatch.h"
#include "host/posix/GuardProtocol.h"

#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tamberlo::guard {

namespace {

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

bool ReadExactly(int fd, void* into, std::size_t size) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t got = ::read(fd, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool ReadTexts(int fd, std::uint32_t count, std::vector<std::string>& texts) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        if (!ReadExactly(fd, &size, sizeof size)) return false;
        std::string text(size, '\0');
        if (!ReadExactly(fd, text.data(), size)) return false;
        texts.push_back(std::move(text));
    }
    return true;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

struct Program {
    RunHeader header{};
    std::vector<std::string> arguments, candidates, environment;
};

class Reaper {
public:
    Reaper(const int (&descriptors)[5], int signals) : channel_(descriptors[0]), signals_(signals) {}

    int Run(const int (&descriptors)[5]) {
        Program program;
        if (!ReadExactly(channel_, &program.header, sizeof program.header) ||
            !ReadTexts(channel_, program.header.arguments, program.arguments) ||
            !ReadTexts(channel_, program.header.candidates, program.candidates) ||
            !ReadTexts(channel_, program.header.environment, program.environment))
            return 1;
        gracePeriodMs_ = static_cast<int>(program.header.gracePeriodMs);
        const int failure = Start(program, descriptors);
        for (int i = 1; i < StartRunDescriptors; ++i) ::close(descriptors[i]);
        if (failure != 0) {
            Send(ReportKind::NotStarted, failure);
            return 0;
        }
        Send(ReportKind::Started, leader_);
        return Serve();
    }

private:
    // Fork and exec, as the library did in its own process before; here the
    // process is small and has one thread, so fork is cheap and safe.
    int Start(Program& program, const int (&descriptors)[5]) {
        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0) return errno;
        std::vector<char*> argv = Pointers(program.arguments);
        std::vector<char*> envp = Pointers(program.environment);
        const pid_t reaper = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(report[0]);
            ::setpgid(0, 0);
            // Should this reaper be killed, the program does not run on alone.
            if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != reaper) ::_exit(127);
            int error = 0;
            for (int target = 0; target < 3 && error == 0; ++target)
                if (::dup2(descriptors[1 + target], target) < 0) error = errno;
            if (error == 0 && ::fchdir(descriptors[4]) != 0) error = errno;
            // Nothing of the guard's reaches the program but its three streams.
            ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (error == 0) {
                bool denied = false;
                for (const std::string& candidate : program.candidates) {
                    ::execve(candidate.c_str(), argv.data(), envp.data());
                    if (errno == EACCES) denied = true;
                    error = errno;
                    if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) break;
                }
                if (denied && (error == ENOENT || error == ENOTDIR)) error = EACCES;
            }
            [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
            ::_exit(127);
        }
        const int forkFailure = errno;
        ::close(report[1]);
        if (pid < 0) {
            ::close(report[0]);
            return forkFailure;
        }
        int error = 0;
        if (!ReadExactly(report[0], &error, sizeof error)) error = 0;
        ::close(report[0]);
        if (error != 0) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            return error;
        }
        leader_ = pid;
        return 0;
    }

    int Serve() {
        for (;;) {
            pollfd waitables[2] = {{channel_, POLLIN, 0}, {signals_, POLLIN, 0}};
            if (::poll(waitables, 2, -1) < 0) continue;
            if (waitables[1].revents & POLLIN) {
                signalfd_siginfo info{};
                while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                    // SIGTERM: the guard is gone (or someone asks): stop the run.
                    if (info.ssi_signo == SIGTERM) return StopAndLeave();
                }
                CollectEnded();
            }
            if (waitables[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                char command = 0;
                const ssize_t got = ::read(channel_, &command, 1);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) return reaped_ ? 0 : StopAndLeave();
                if (command == static_cast<char>(Command::Terminate)) SignalDescendants(SIGTERM);
                if (command == static_cast<char>(Command::Reap)) {
                    KillEverything();
                    reaped_ = true;
                    Send(ReportKind::Reaped, leaderCode_);
                }
            }
        }
    }

    // Collects every child that has ended; reports the leader's end, and
    // the moment nothing of the run is left.
    void CollectEnded() {
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, WNOHANG);
            if (pid > 0) {
                Collected(pid, status);
                continue;
            }
            if (pid < 0 && errno == ECHILD && !allEndedSent_ && !reaped_) {
                allEndedSent_ = true;
                Send(ReportKind::AllEnded, 0);
            }
            return;
        }
    }

    void Collected(pid_t pid, int status) {
        if (pid != leader_ || leaderEnded_) return;
        leaderEnded_ = true;
        leaderCode_ = ExitCodeOf(status);
        if (!reaped_) Send(ReportKind::Ended, leaderCode_);
    }

    // SIGKILL to every process below, again until none is left: one that
    // forked before its end leaves a child that the next look finds (as
    // this process's own, once its parent is gone).
    void KillEverything() {
        for (;;) {
            // Nothing of the run left (the usual end): no look at the process table.
            int status = 0;
            const pid_t ended = ::waitpid(-1, &status, WNOHANG);
            if (ended > 0) {
                Collected(ended, status);
                continue;
            }
            if (ended < 0 && errno == ECHILD) return;
            SignalDescendants(SIGKILL);
            const pid_t pid = ::waitpid(-1, &status, 0);
            if (pid > 0) Collected(pid, status);
        }
    }

    // The run is no one's any more: asked to end, given the grace period
    // (ended early once nothing of it is left), then killed.
    int StopAndLeave() {
        if (SignalDescendants(SIGTERM)) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(gracePeriodMs_);
            while (std::chrono::steady_clock::now() < deadline) {
                int status = 0;
                const pid_t pid = ::waitpid(-1, &status, WNOHANG);
                if (pid > 0) {
                    Collected(pid, status);
                    continue;
                }
                if (pid < 0 && errno == ECHILD) break;
                pollfd waitable{signals_, POLLIN, 0};
                ::poll(&waitable, 1, 10);
                signalfd_siginfo info{};
                while (::read(signals_, &info, sizeof info) > 0) {}
            }
        }
        KillEverything();
        return 0;
    }

    void Send(ReportKind kind, std::int32_t value) {
        const Report report{kind, value};
        ::send(channel_, &report, sizeof report, MSG_NOSIGNAL);
    }

    const int channel_;
    const int signals_;
    int gracePeriodMs_ = 0;
    pid_t leader_ = 0;
    bool leaderEnded_ = false;
    int leaderCode_ = 0;
    bool allEndedSent_ = false;
    bool reaped_ = false;
};

}  // namespace

int RunReaper(const int (&descriptors)[5], int guard) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const int signals = WatchChildrenAndTermination();
    // The guard going (whatever ends it) ends the run.
    if (signals < 0 || ::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != guard) return 1;
    return Reaper(descriptors, signals).Run(descriptors);
}

}  // namespace tamberlo::guard
