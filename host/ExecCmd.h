#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace tamberlo {

class StopSignal;

// Starts one program from a complete command line and blocks until it ends.
// On Windows the command line goes to CreateProcessA as it is (hidden window,
// normal priority, handles, environment and current directory inherited). On
// POSIX it is split by the Windows quoting rules and started with
// posix_spawn, never through a shell.
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
        // Asked every `pollInterval`: true stops the program. `stop` answers
        // at once; this only at the pace of the calls.
        std::function<bool()> stopRequested;
        std::chrono::milliseconds pollInterval{100};
        // POSIX: when not empty, the program's standard output and standard
        // error both go to this file, which the start creates and which must
        // not exist yet (else the program is not started). Empty: the program
        // writes to the caller's own. Ignored on Windows.
        std::string consoleFile;
    };

    enum class Outcome { Ended, NotStarted, TimedOut, Stopped };

    struct Result {
        Outcome outcome = Outcome::Ended;
        // With NotStarted: the system's reason.
        std::string failure;
        // With Ended: the program's exit code (on POSIX, 128 + the signal
        // number for a program that a signal ended, as shells report it).
        // With TimedOut and Stopped: the code the stopped program ended with.
        int exitCode = 0;
    };

    // Returns as soon as the started program has ended (or was stopped at
    // its time limit or on request, and has ended), or at once when it could
    // not be started. The started program never outlives the call. Throws
    // nothing of its own but std::bad_alloc; passes on what whileWaiting or
    // stopRequested throw.
    Result Run(const std::string& cmdline, const Options& options);
    Result Run(const std::string& cmdline) { return Run(cmdline, Options()); }
};

}  // namespace tamberlo
