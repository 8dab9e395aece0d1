#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace tamberlo {

class StopSignal;

// A started program together with every process it starts: the few things
// that differ per platform under the process runner's wait policy. POSIX:
// the program runs under this process's guard (guard/library/GuardConnection.h),
// a child subreaper that holds every process the program starts, whatever
// process group or session it moves to, and stops them all when the tree is
// reaped or this process dies, however. Windows: the program runs in a job
// object that kills every process in it when the job is closed.
class ProcessTree {
public:
    enum class Wake { Ended, Other };

    struct Exit {
        // The leader's exit code (on POSIX 128 + the signal's number for a
        // program that a signal ended, as shells report it)...
        int code = 0;
        // ...unless this is not empty: why the code is lost (POSIX: the
        // guard's reaper ended before it reported the end).
        std::string lost;
        // POSIX: the system's reason why the program could not be started
        // after all, known once the guard's reaper has tried (Start returns
        // before that). Empty on Windows, where Start says it.
        std::string notStarted;
    };

    // Makes ready what a start needs, so that its cost overlaps with the
    // caller's own work before its first run: POSIX starts this process's
    // guard (a failure is reported by the first Start). Windows: nothing.
    static void Prepare() noexcept;

    // This process starts no program for a while (a command after its one
    // run): POSIX lets the guard end now, so that its end overlaps with the
    // caller's own work instead of delaying the process's exit; a later
    // Start starts a new one. Windows: nothing.
    static void LetGo() noexcept;

    ProcessTree() noexcept = default;
    // A tree still running is killed and its leader collected.
    ~ProcessTree();
    ProcessTree(const ProcessTree&) = delete;
    ProcessTree& operator=(const ProcessTree&) = delete;

    // Starts `cmdline` (CreateProcessA as it is, hidden, normal priority,
    // handles, environment and current directory inherited; POSIX: split by
    // the Windows quoting rules and executed without a shell, searched in
    // PATH when its name holds no slash). POSIX: a `consoleFile` that is not
    // empty takes the program's standard output and error; it is created
    // and must not exist yet. Returns the empty text once started, else the
    // system's reason; nothing is left running then. POSIX: the start
    // happens in the guard's reaper, which says only when it fails (see
    // Exit::notStarted); should this process die during the run, the guard
    // gives the tree `gracePeriod` after its SIGTERM before it kills what
    // is left.
    std::string Start(const std::string& cmdline, const std::string& consoleFile,
                      std::chrono::milliseconds gracePeriod);

    // Blocks until the leader has ended (it is not collected yet), `stop`
    // is requested or `timeout` has passed (none: no time limit). Other
    // tells the two last apart from an end; it may also come early.
    Wake Wait(const StopSignal* stop, std::optional<std::chrono::milliseconds> timeout) noexcept;

    // Asks every process of the tree to end: SIGTERM to each on POSIX,
    // where a program may tidy up first. Windows has no such request for a
    // hidden program: the tree ends at once.
    void Terminate() noexcept;

    // Blocks until every process of the tree has ended or `timeout` has
    // passed or `hurry` (when not null) is requested: the time a terminated
    // tree is given to tidy up.
    void WaitUntilAllEnded(std::chrono::milliseconds timeout, const StopSignal* hurry) noexcept;

    // Ends what is left of the tree at once, blocks until the leader has
    // ended and collects it. Called once, after a successful Start.
    Exit Reap() noexcept;

private:
#ifdef _WIN32
    void* job_ = nullptr;
    void* process_ = nullptr;
#else
    bool TakeReport() noexcept;

    int channel_ = -1;  // the run channel to the guard's reaper
    int link_ = -1;     // to the reaper, for the next run
    int guard_ = 0;     // the guard's process id
    bool ended_ = false;
    bool allEnded_ = false;
    bool reaped_ = false;
    bool gone_ = false;   // the reaper (or the guard) ended before it reaped the tree
    int notStarted_ = 0;  // the errno of a start that failed
    int exitCode_ = 0;
#endif
    bool running_ = false;
};

}  // namespace tamberlo
