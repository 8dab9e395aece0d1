#include "RunReaper.h"

#include "Descendants.h"
#include "Refusal.h"
#include "SignalWatch.h"
#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"
#include "guard/wire/RunProgram.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <string_view>
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

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// What the child of a vfork needs, made before it: the child may only make
// system calls until it execs, in memory it shares with the reaper.
struct ChildSetup {
    const int (&descriptors)[5];
    pid_t reaper;
    char* const* argv;
    char* const* envp;
    const std::vector<std::string>& candidates;
};

// In the child: its own process group, the streams and folder, nothing else
// of the reaper's, no signal blocked, then each candidate file in turn.
// Returns only when no exec succeeded, with the reason.
int ExecInChild(const ChildSetup& setup) {
    ::setpgid(0, 0);
    // Should the reaper be killed, the program does not run on alone.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != setup.reaper) return ECHILD;
    for (int target = 0; target < 3; ++target)
        if (::dup2(setup.descriptors[1 + target], target) < 0) return errno;
    if (::fchdir(setup.descriptors[4]) != 0) return errno;
    ::syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */);
    // The reaper has no signal handler that could run here: SIGCHLD and
    // SIGTERM are blocked for its signalfd, every other disposition is the
    // default or ignored, as the program inherits them.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    bool denied = false;
    int error = ENOENT;
    for (const std::string& candidate : setup.candidates) {
        ::execve(candidate.c_str(), setup.argv, setup.envp);
        if (errno == EACCES) denied = true;
        error = errno;
        if (errno != ENOENT && errno != ENOTDIR && errno != EACCES) break;
    }
    if (denied && (error == ENOENT || error == ENOTDIR)) error = EACCES;
    return error;
}

class Reaper {
public:
    Reaper(const int (&descriptors)[5], int signals) : channel_(descriptors[0]), signals_(signals) {}

    // Serves the run to its end, when nothing of it is left. False when the
    // reaper was told to end (SIGTERM: the guard has gone, or ends).
    bool Run(const int (&descriptors)[5]) {
        RunProgram program;
        const ProgramRead read = ReadProgram(channel_, program, &Reaper::ChannelReady, this);
        gracePeriodMs_ = static_cast<int>(std::min<std::uint32_t>(program.gracePeriodMs, INT32_MAX));
        int failure = 0;
        if (read == ProgramRead::Taken) {
            failure = Start(program, descriptors);
        } else if (read == ProgramRead::TooLong) {
            SayRefused("run channel", "the program is longer than " + std::to_string(MaxProgramBytes) + " bytes");
            failure = E2BIG;
        } else if (read == ProgramRead::Malformed) {
            SayRefused("run channel", "the program's texts do not make up what its header counts");
            failure = EPROTO;
        } else if (!toldToEnd_) {
            SayRefused("run channel", "it closed before the program was whole");
        }
        // The program has its own copies; none stays open here between runs.
        for (int i = 1; i < StartRunDescriptors; ++i) ::close(descriptors[i]);
        if (read == ProgramRead::Closed) return !toldToEnd_;
        if (failure != 0) {
            Send(ReportKind::NotStarted, failure);
            return true;
        }
        Serve();
        return !toldToEnd_;
    }

private:
    // Waits until the run channel can be read, heeding SIGTERM meanwhile: a
    // program that never comes whole does not keep the reaper from ending.
    static bool ChannelReady(int channel, void* context) {
        auto* self = static_cast<Reaper*>(context);
        for (;;) {
            pollfd waitables[2] = {{channel, POLLIN, 0}, {self->signals_, POLLIN, 0}};
            if (::poll(waitables, 2, -1) < 0) continue;
            signalfd_siginfo info{};
            while (::read(self->signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                if (info.ssi_signo == SIGTERM) self->toldToEnd_ = true;
            if (self->toldToEnd_) return false;
            if (waitables[0].revents != 0) return true;
        }
    }

    // vfork and exec: the reaper waits, its memory shared, until the child
    // has exec'd or given up, so no pipe tells the one from the other and no
    // page table is copied.
    int Start(RunProgram& program, const int (&descriptors)[5]) {
        std::vector<char*> argv = Pointers(program.arguments);
        std::vector<char*> envp = Pointers(program.environment);
        const ChildSetup setup{descriptors, ::getpid(), argv.data(), envp.data(), program.candidates};
        // Written by the child only when it does not exec.
        volatile int childError = 0;
        const pid_t pid = ::vfork();
        if (pid == 0) {
            childError = ExecInChild(setup);
            ::_exit(127);
        }
        if (pid < 0) return errno;
        if (childError != 0) {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            return childError;
        }
        leader_ = pid;
        return 0;
    }

    void Serve() {
        for (;;) {
            pollfd waitables[2] = {{channel_, POLLIN, 0}, {signals_, POLLIN, 0}};
            if (::poll(waitables, 2, -1) < 0) continue;
            if (waitables[1].revents & POLLIN) {
                signalfd_siginfo info{};
                while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                    // SIGTERM: the guard is gone (or someone asks): stop the run.
                    if (info.ssi_signo == SIGTERM) {
                        toldToEnd_ = true;
                        return StopAndLeave();
                    }
                }
                CollectEnded();
            }
            if (waitables[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                char command = 0;
                const ssize_t got = ::read(channel_, &command, 1);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) return reaped_ ? void() : StopAndLeave();
                if (command == static_cast<char>(Command::Terminate)) {
                    SignalDescendants(SIGTERM);
                } else if (command == static_cast<char>(Command::Reap)) {
                    KillEverything();
                    reaped_ = true;
                    Send(ReportKind::Reaped, leaderCode_);
                } else {
                    SayRefused("run channel",
                               "the byte " + std::to_string(static_cast<unsigned char>(command)) + " is no command");
                }
            }
        }
    }

    // Collects every child that has ended; reports the leader's end, and
    // the moment nothing of the run is left, in one write when both come
    // at once (the usual end).
    void CollectEnded() {
        Report reports[2];
        std::size_t count = 0;
        if (ReapEnded(&reports[count])) ++count;
        if (nothingLeft_ && !allEndedSent_ && !reaped_) {
            allEndedSent_ = true;
            reports[count++] = {ReportKind::AllEnded, 0};
        }
        if (count > 0) WriteAll(channel_, reports, count * sizeof(Report));
    }

    // Collects every child that has ended and notes whether any is left;
    // true, with `ended` filled in, when the leader's end is to be reported.
    bool ReapEnded(Report* ended) {
        bool leaderEnded = false;
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, WNOHANG);
            if (pid > 0) {
                leaderEnded = Collected(pid, status) || leaderEnded;
                continue;
            }
            // Once the subreaper has no child, nothing of the run runs
            // any more: whatever it started would be below it.
            if (pid < 0 && errno == ECHILD) nothingLeft_ = true;
            break;
        }
        if (!leaderEnded || reaped_) return false;
        *ended = {ReportKind::Ended, leaderCode_};
        return true;
    }

    // True when `pid` was the leader, ending now.
    bool Collected(pid_t pid, int status) {
        if (pid != leader_ || leaderEnded_) return false;
        leaderEnded_ = true;
        leaderCode_ = ExitCodeOf(status);
        return true;
    }

    // SIGKILL to every process below, again until none is left: one that
    // forked before its end leaves a child that the next look finds (as
    // this process's own, once its parent is gone).
    void KillEverything() {
        Report ended{};
        for (;;) {
            // Nothing of the run left (the usual end): no look at the process table.
            if (ReapEnded(&ended)) Send(ended.kind, ended.value);
            if (nothingLeft_) return;
            SignalDescendants(SIGKILL);
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, 0);
            if (pid > 0 && Collected(pid, status) && !reaped_) Send(ReportKind::Ended, leaderCode_);
        }
    }

    // The run is no one's any more: asked to end, given the grace period
    // (ended early once nothing of it is left), then killed.
    void StopAndLeave() {
        Report ended{};
        if (ReapEnded(&ended)) Send(ended.kind, ended.value);
        if (nothingLeft_) return;
        if (SignalDescendants(SIGTERM)) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(gracePeriodMs_);
            while (std::chrono::steady_clock::now() < deadline) {
                if (ReapEnded(&ended)) Send(ended.kind, ended.value);
                if (nothingLeft_) break;
                pollfd waitable{signals_, POLLIN, 0};
                ::poll(&waitable, 1, 10);
                signalfd_siginfo info{};
                while (::read(signals_, &info, sizeof info) > 0) {}
            }
        }
        KillEverything();
    }

    void Send(ReportKind kind, std::int32_t value) {
        const Report report{kind, value};
        WriteAll(channel_, &report, sizeof report);
    }

    const int channel_;
    const int signals_;
    int gracePeriodMs_ = 0;
    pid_t leader_ = 0;
    bool leaderEnded_ = false;
    int leaderCode_ = 0;
    bool nothingLeft_ = false;
    bool allEndedSent_ = false;
    bool reaped_ = false;
    bool toldToEnd_ = false;
};

// The next run's descriptors, or false when the reaper is to end: the
// library closed the link (or has died), or the guard ends. A Relink
// request on the way replaces `link`; any other message is refused.
bool NextRun(int& link, int signals, int (&descriptors)[StartRunDescriptors]) {
    for (;;) {
        pollfd waitables[2] = {{link, POLLIN, 0}, {signals, POLLIN, 0}};
        if (::poll(waitables, 2, -1) < 0) continue;
        if (waitables[1].revents & POLLIN) {
            signalfd_siginfo info{};
            while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                if (info.ssi_signo == SIGTERM) return false;
        }
        const short ready = waitables[0].revents;
        if ((ready & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char buffer[sizeof(LinkRequest)];
        const Received message = ReceiveWithDescriptors(link, buffer, sizeof buffer);
        if (message.bytes < 0 && message.error == EAGAIN) continue;
        // An empty message seen with the hang-up is the other end's close.
        if (message.bytes < 0 || (message.bytes == 0 && message.count == 0 && (ready & (POLLHUP | POLLERR)) != 0)) {
            CloseDescriptors(message);
            return false;
        }
        const std::string refusal =
            LinkRefusal(buffer, static_cast<std::size_t>(message.bytes), message.oversized, message.count);
        if (!refusal.empty()) {
            SayRefused("reaper's link", refusal);
            CloseDescriptors(message);
            continue;
        }
        LinkRequest request{};
        std::memcpy(&request, buffer, sizeof request);
        if (request.kind == LinkKind::Relink) {
            ::close(link);
            link = message.descriptors[0];
            continue;
        }
        std::memcpy(descriptors, message.descriptors, sizeof descriptors);
        return true;
    }
}

}  // namespace

int ServeRuns(int link, int guard) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const int signals = WatchChildrenAndTermination();
    // The guard going (whatever ends it) ends the run.
    if (signals < 0 || ::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != guard) return 1;
    int descriptors[StartRunDescriptors];
    while (NextRun(link, signals, descriptors)) {
        const bool goOn = Reaper(descriptors, signals).Run(descriptors);
        ::close(descriptors[0]);
        if (!goOn) break;
    }
    return 0;
}

}  // namespace tamberlo::guard
