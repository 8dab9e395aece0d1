#pragma once

#include "host/posix/OwnedDescriptor.h"

#include <mutex>
#include <string>
#include <vector>

namespace tamberlo {

// This process's link to its guard (host/posix/guard): the small process,
// started at the first run and kept for every run after it, under which SAS
// runs, so that nothing of a run outlives this process however it ends.
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

    // Hands a run to the guard: the descriptors (standard input, output and
    // error, the current folder) and the program. Returns the run channel,
    // or an empty one and the reason in `failure`.
    OwnedDescriptor StartRun(const int (&streams)[4], const std::string& program, std::string& failure);

    // The guard removes `folder` and all in it once the returned channel is
    // closed, or the runs are stopped after this process has died. Empty
    // (and nothing guarded) when the guard cannot be reached.
    OwnedDescriptor GuardFolder(const std::string& folder);

private:
    GuardConnection() = default;
    void EndAtExit() noexcept;
    // Under the lock: a running guard of this process, started if need be.
    // False with the reason in `failure` when none can be started.
    bool Connect(std::string& failure);
    // Sends one request, with a new guard once if the old one has gone.
    bool Send(const void* request, std::size_t size, const std::vector<int>& descriptors, std::string& failure);

    std::mutex lock_;
    OwnedDescriptor control_;
    int guard_ = 0;  // the guard's process id
    int owner_ = 0;  // the process that started it
};

}  // namespace tamberlo
