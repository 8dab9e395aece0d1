#pragma once

#include "cli/single/SingleRun.h"
#include "cli/remoteside/RemoteRequest.h"
#include "cli/remoteside/RequestOptions.h"

namespace tamberlo::cli {

class LogFollower;

// A remote run's program run through the single run's path (SingleRun),
// with what a remote run adds: the texts kept as SAS wrote them (the other
// side cleans them as its own options say), the put files listed, the
// sent folder as &TAMBERLO_SENT, and the program's own file from
// --program-file as _SASPROGRAMFILE and _SASPROGRAMDIR (a variable the
// user set with --let keeps the user's value).
class RemoteRun {
public:
    // Throws UsageError for a --program-file that names no sent file and
    // is not absolute.
    RemoteRun(const RemoteRequest& request, RequestOptions parsed);

    // As SingleRun::Run: an error of the run comes back in `failure`.
    SingleRunResult Run(LogFollower* follower) const;

    bool Follows() const noexcept { return options_.follow; }

private:
    const RemoteRequest& request_;
    SingleRunOptions options_;
};

}  // namespace tamberlo::cli
