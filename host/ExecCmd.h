#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tamberlo {

class StopSignal;

// Starts one program from a complete command line and blocks until it ends:
// the wait policy (time limit, stop requests, callbacks, how a program is
// stopped) over the platform's ProcessTree. On Windows the command line goes
// to CreateProcessA as it is (hidden window, normal priority, handles,
// environment and current directory inherited). On POSIX it is split by the
// Windows quoting rules and executed directly, never through a shell.
//
// A stop (time limit, stop request, a callback that throws) ends the
// program and everything it started: asked first (SIGTERM to each of its
// processes on POSIX, whatever group or session it moved to), then, after
// `gracePeriod` or as soon as all have ended, killed, whatever of it is
// left. Its normal end kills what it leaves running. On POSIX the same
// happens, by the guard, when this process dies during the run.
class ExecCmd {
public:
    struct Options {
        // Stop the program once this much time has passed. None: wait for ever.
        std::optional<std::chrono::milliseconds> timeLimit;
        // Called every `pollInterval` while the program runs. What it throws
        // passes on once the program has been stopped and has ended.
        std::function<void()> whileWaiting;
        // Wakes the wait the moment it is requested, and stops the program;
        // requested before the start, the program is not started at all.
        const StopSignal* stop = nullptr;
        std::chrono::milliseconds pollInterval{100};
        // How long a stopped program may take to tidy up (SAS removes its
        // WORK library) before what is left of it is killed.
        std::chrono::milliseconds gracePeriod{5000};
        // Once requested, the grace period ends at once.
        const StopSignal* hurry = nullptr;
        // POSIX: when not empty, the program's standard output and standard
        // error both go to this file, which the start creates and which must
        // not exist yet (else the program is not started). Empty: the program
        // writes to the caller's own. Ignored on Windows.
        std::string consoleFile;
    };

    // StoppedBeforeStart: a stop was requested before the start, which was
    // not tried. Lost: the program's end and exit code could not be
    // collected (POSIX: the guard's reaper ended before it reported them;
    // whether the program had started is then not known).
    enum class Outcome { Ended, NotStarted, TimedOut, Stopped, StoppedBeforeStart, Lost };

    struct Result {
        Outcome outcome = Outcome::Ended;
        // With NotStarted and Lost: the system's reason.
        std::string failure;
        // With Ended: the program's exit code (on POSIX, 128 + the signal
        // number for a program that a signal ended, as shells report it).
        // With TimedOut and Stopped: the code the stopped program ended with.
        int exitCode = 0;
    };

    // Returns as soon as the started program has ended (or was stopped at
    // its time limit or on request, and has ended), or at once when it could
    // not be started. The started program never outlives the call. Throws
    // nothing of its own but std::bad_alloc; passes on what whileWaiting
    // throws.
    Result Run(const std::string& cmdline, const Options& options);
    Result Run(const std::string& cmdline) { return Run(cmdline, Options()); }
};

}  // namespace tamberlo
