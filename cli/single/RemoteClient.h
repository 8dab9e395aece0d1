#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/single/ProgramAssembly.h"
#include "cli/single/SingleRun.h"

#include <cstdio>
#include <vector>

namespace tamberlo::cli {

// One program run by the remote's own tamberlo through ssh (--remote): the
// request (session options, --send files, program) goes over the wire, and
// the answer becomes the SingleRunResult a local run makes, judged by the
// local rules as a local run is (ProgramOutcome::Judge), so that printing, reports and exit statuses are the local
// ones. A Ctrl-C stops the remote run (STOP, then the end of ssh's input).
class RemoteClient {
public:
    explicit RemoteClient(const SingleRunOptions& options) : options_(options) {}

    // As SingleRun::Run: what the remote run raised comes back in
    // `failure` (RunStopped when interrupted, TimeLimitReached at --timeout,
    // an Error for SAS that could not be run); ssh that could not reach the
    // remote side, a remote side that speaks another protocol or says it
    // cannot go on, and a connection lost before the answer is whole throw
    // Error 1 of "Execute method" naming ssh's words and what to do.
    // Throws UsageError for --send files that cannot be sent.
    // `follow`, when given, shows the log as SAS writes it (--follow).
    SingleRunResult Run(const std::vector<ProgramAssembly::Assignment>& program, std::FILE* follow) const;

private:
    const SingleRunOptions& options_;
};

}  // namespace tamberlo::cli
