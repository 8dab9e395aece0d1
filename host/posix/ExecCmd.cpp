#include "host/ExecCmd.h"

#include "host/CommandLine.h"
#include "host/SystemError.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
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

// Waits for the child, retrying when a signal interrupts the wait; returns its exit code.
int WaitUntilEnded(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return ExitCodeOf(status);
}

// True once the child has ended (and has been reaped); then `exitCode` holds its code.
bool HasEnded(pid_t pid, int& exitCode) {
    int status = 0;
    for (;;) {
        const pid_t result = ::waitpid(pid, &status, WNOHANG);
        if (result < 0 && errno == EINTR) continue;
        // An error here means the child is not ours to wait for any more.
        if (result > 0) exitCode = ExitCodeOf(status);
        return result != 0;
    }
}

void SleepFor(std::chrono::milliseconds interval) {
    timespec remaining{static_cast<time_t>(interval.count() / 1000),
                       static_cast<long>(interval.count() % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace

namespace {

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

    if (!options.timeLimit && !options.whileWaiting && !options.stopRequested) {
        Result ended;
        ended.exitCode = WaitUntilEnded(pid);
        return ended;
    }

    const auto deadline = options.timeLimit ? std::chrono::steady_clock::now() + *options.timeLimit
                                            : std::chrono::steady_clock::time_point::max();
    Result ended;
    while (!HasEnded(pid, ended.exitCode)) {
        const bool timedOut = std::chrono::steady_clock::now() >= deadline;
        if (timedOut || (options.stopRequested && options.stopRequested())) {
            ::kill(pid, SIGKILL);
            WaitUntilEnded(pid);
            return {timedOut ? Outcome::TimedOut : Outcome::Stopped, {}};
        }
        if (options.whileWaiting) options.whileWaiting();
        SleepFor(options.pollInterval);
    }
    return ended;
}

}  // namespace tamberlo
