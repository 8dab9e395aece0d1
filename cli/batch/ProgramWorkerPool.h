#pragma once

#include "cli/run/ProgramOutcome.h"

#include <functional>
#include <optional>
#include <vector>

namespace tamberlo::cli {

class BatchProgress;

// A pool of worker threads that runs the programs of a batch, at most `jobs`
// at once, each through its own run (the output switches are per thread, so
// each run sees only its own).
class ProgramWorkerPool {
public:
    // A step of the batch: runs one program (or scans one log); nothing
    // when it was stopped before it finished.
    using Step = std::function<std::optional<ProgramOutcome>(const BatchProgram&)>;

    ProgramWorkerPool(unsigned jobs, Step run, std::function<bool()> stopRequested)
        : jobs_(jobs), run_(std::move(run)), stopRequested_(std::move(stopRequested)) {}

    // Runs the programs in list order and returns the outcomes of those that
    // finished, in list order. On the calling thread, `progress` hears of
    // every program as it ends and is shown the state about five times a
    // second. Once a stop is requested no further program starts; the call
    // returns when the running ones have ended.
    std::vector<ProgramOutcome> Run(const std::vector<BatchProgram>& programs, BatchProgress& progress) const;

private:
    unsigned jobs_;
    Step run_;
    std::function<bool()> stopRequested_;
};

}  // namespace tamberlo::cli
