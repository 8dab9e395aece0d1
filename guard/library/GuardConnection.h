#pragma once

#include "guard/library/OwnedDescriptor.h"

#include <cstddef>
#include <mutex>
#include <set>
#include <string>

namespace tamberlo {

// This process's link to its guard (guard/executable/Guard.h): the small process,
// started at the first run and kept for every run after it, under which SAS
// runs, so that nothing of a run outlives this process however it ends.
// The guard forks reapers, each a subreaper that serves one run at a time;
// this process sends each run straight to a free reaper and keeps the
// reaper for the next, so that a run wakes no third process and starts
// none but SAS.
//
// Why a helper program of its own, started with vfork and exec: the guard must
// outlive this process (to clean up after a SIGKILL), so it is a process of
// its own; a fork of this process would copy a host program's memory and
// descriptors and, with threads about, may only make async-signal-safe calls
// until it execs, which a guard that keeps serving cannot live with; the
// same executable run again would cost a whole start of the host program
// (and its libraries) and needs its main to cooperate. A helper of a few
// pages costs about a millisecond once per process. It is found, in order:
// at $TAMBERLO_GUARD; as tamberlo-guard beside the running executable (the
// build tree); in ../libexec/tamberlo/ from the executable's folder (a
// package, a tarball unpacked anywhere); in the library's own install
// prefix's libexec/tamberlo/.
//
// A process forked from this one gets a guard of its own at its first run.
// A guard that has gone (someone killed it) is replaced at the next request.
class GuardConnection {
public:
    static GuardConnection& OfThisProcess();

    // Starts the guard now if none runs; a failure is left for the first
    // request to report.
    void Prepare() noexcept;

    // A run handed to a reaper: the channel it is served on, and the link to
    // the reaper, for GiveBack once the run has been reaped.
    struct Run {
        OwnedDescriptor channel;
        OwnedDescriptor link;
        int guard = 0;  // the process id of the guard whose reaper took it
    };

    // Hands a run to a free reaper (a new one when none is free): the
    // descriptors (standard input, output and error, the current folder)
    // and the program. An empty channel, and the reason in `failure`, when
    // the guard cannot be reached.
    Run StartRun(const int (&streams)[4], const std::string& program, std::string& failure);

    // This process starts no run for a while: the guard ends now, while
    // this process goes on with its own work, instead of when it exits. A
    // later run starts a new one.
    void LetGo() noexcept;

    // True while `guard` (a Run's) is this process's guard and runs: a run
    // whose reaper went without a word tells by it whether the guard went
    // too (a guard that replaced it since does not count).
    bool GuardRuns(int guard) noexcept;

    // The reaper of a run that has been reaped serves the next one.
    void GiveBack(OwnedDescriptor link) noexcept;

    // The errno of the fork that the guard said failed on `link` instead of
    // making its reaper (the system refused a process); 0 when it said
    // nothing. Does not wait: the guard says it before it closes the link.
    static int ReaperRefusal(int link) noexcept;

    // The start of the name of a new run folder in `temporary` (the
    // temporary folder, ending in '/'): "tmpSAS_<this process's token>".
    // Should this process die, the guard removes the folders so named there
    // once their runs are stopped. Each call is matched by FolderRemoved.
    std::string RunFolderPrefix(const std::string& temporary);
    void FolderRemoved() noexcept;

private:
    GuardConnection() = default;
    void EndAtExit() noexcept;
    // Under the lock: LetGo.
    void LetGoLocked() noexcept;
    // Waits for a guard that was let go to end.
    void CollectEndingGuard() noexcept;
    // Under the lock: forgets what a process this one was forked from had.
    void AdoptThisProcess();
    // Under the lock: a running guard of this process, started if need be.
    // False with the reason in `failure` when none can be started.
    bool Connect(std::string& failure);
    // Under the lock: sends one request, with a new guard once if the old
    // one has gone.
    bool SendRequest(const std::string& request, int descriptor, std::string& failure);
    // A link to a new reaper.
    OwnedDescriptor NewReaper(std::string& failure);

    std::mutex lock_;
    OwnedDescriptor control_;
    int guard_ = 0;        // the guard's process id
    int endingGuard_ = 0;  // one let go, not collected yet
    int owner_ = 0;        // the process that started it
    std::string token_;
    OwnedDescriptor freeReaper_;          // the one free reaper this process keeps
    std::set<std::string> sweptFolders_;  // the temporary folders the guard was told
    std::size_t liveFolders_ = 0;
};

}  // namespace tamberlo
