#include "host/ExecCmd.h"

#include "host/CommandLine.h"
#include "host/StopSignal.h"
#include "host/SystemError.h"
#include "host/WaitSchedule.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo {

namespace {

int ExitCodeOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 0;
}

// The started child, which never outlives its owner: on a way out that has
// not seen it end (a callback that throws), it is killed and reaped, so that
// neither a running orphan nor a zombie is left.
class Child {
public:
    explicit Child(pid_t pid) noexcept : pid_(pid) {}
    ~Child() {
        if (!reaped_) Stop();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const noexcept { return pid_; }

    // Blocks until the child has ended; returns its exit code.
    int Reap() noexcept {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        // An error here means the child is not ours to wait for any more
        // (SIGCHLD ignored by the host program): its code is lost.
        reaped_ = true;
        return ExitCodeOf(status);
    }

    // True once the child has ended and has been reaped; `exitCode` then holds its code.
    bool TryReap(int& exitCode) noexcept {
        int status = 0;
        pid_t result;
        while ((result = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (result == 0) return false;
        reaped_ = true;
        exitCode = result > 0 ? ExitCodeOf(status) : 0;
        return true;
    }

    // Kills the child and reaps it; returns the code it ended with. Until it
    // is reaped its pid cannot go to another process, so the kill hits it.
    int Stop() noexcept {
        ::kill(pid_, SIGKILL);
        return Reap();
    }

private:
    const pid_t pid_;
    bool reaped_ = false;
};

// A descriptor that becomes readable when the process ends (Linux 5.3 and
// later); -1 where the system has none. It closes on exec by itself.
class ProcessDescriptor {
public:
    explicit ProcessDescriptor(pid_t pid) noexcept {
#ifdef SYS_pidfd_open
        fd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
        static_cast<void>(pid);
#endif
    }
    ~ProcessDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    ProcessDescriptor(const ProcessDescriptor&) = delete;
    ProcessDescriptor& operator=(const ProcessDescriptor&) = delete;

    int get() const noexcept { return fd_; }

private:
    int fd_ = -1;
};

// Without a process descriptor nothing tells the wait that the child has
// ended: it looks in this often. A SIGCHLD handler would do it at once, but a
// library must not take over its host program's signals.
constexpr std::chrono::milliseconds WithoutDescriptorStep{5};

// The file actions of one start, destroyed on every way out.
class SpawnFileActions {
public:
    SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    // Standard output and standard error of the child both go to `path`,
    // created exclusively: a file or link already there fails the start.
    int SendConsoleTo(const std::string& path) {
        if (int failure = ::posix_spawn_file_actions_addopen(&actions_, STDOUT_FILENO, path.c_str(),
                                                             O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0600)) {
            return failure;
        }
        return ::posix_spawn_file_actions_adddup2(&actions_, STDOUT_FILENO, STDERR_FILENO);
    }

    const posix_spawn_file_actions_t* Get() const noexcept { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

ExecCmd::Result ExecCmd::Run(const std::string& cmdline, const Options& options) {
    if (options.stop != nullptr && options.stop->IsRequested()) return {Outcome::Stopped, {}};

    std::vector<std::string> args = SplitCommandLine(cmdline);
    if (args.empty() || args.front().empty()) return {Outcome::NotStarted, SystemMessage(ENOENT)};

    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    // posix_spawnp looks the program up in PATH only when its name has no
    // slash, as CreateProcess searches for a bare name.
    SpawnFileActions actions;
    if (!options.consoleFile.empty()) {
        if (const int failure = actions.SendConsoleTo(options.consoleFile)) {
            return {Outcome::NotStarted, SystemMessage(static_cast<unsigned long>(failure))};
        }
    }
    pid_t pid = 0;
    const int failure = ::posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ);
    if (failure != 0) return {Outcome::NotStarted, SystemMessage(static_cast<unsigned long>(failure))};
    Child child(pid);

    Result ended;
    if (!options.timeLimit && !options.whileWaiting && !options.stop && !options.stopRequested) {
        ended.exitCode = child.Reap();
        return ended;
    }

    const ProcessDescriptor process(child.Pid());
    pollfd waitables[2];
    nfds_t count = 0;
    if (process.get() >= 0) waitables[count++] = {process.get(), POLLIN, 0};
    if (options.stop != nullptr) waitables[count++] = {options.stop->NativeWaitable(), POLLIN, 0};
    std::optional<std::chrono::milliseconds> step;
    if (process.get() < 0) step = WithoutDescriptorStep;

    WaitSchedule schedule(options.timeLimit, options.whileWaiting || options.stopRequested, options.pollInterval);
    for (;;) {
        if (child.TryReap(ended.exitCode)) return ended;
        if (options.stop != nullptr && options.stop->IsRequested()) return {Outcome::Stopped, {}, child.Stop()};
        if (schedule.TimeIsUp()) return {Outcome::TimedOut, {}, child.Stop()};
        if (schedule.TickIsDue()) {
            if (options.stopRequested && options.stopRequested()) return {Outcome::Stopped, {}, child.Stop()};
            if (options.whileWaiting) options.whileWaiting();
            schedule.TickDone();
            continue;
        }
        const std::optional<std::chrono::milliseconds> wake = schedule.TimeToNextWake(step);
        // Interrupted by a signal: everything is looked at again. Failed (out
        // of memory): from now on in steps, as without a process descriptor.
        if (::poll(waitables, count, wake ? static_cast<int>(wake->count()) : -1) < 0 && errno != EINTR)
            step = WithoutDescriptorStep;
    }
}

}  // namespace tamberlo
