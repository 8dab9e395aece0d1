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
    // Runs one program; nothing when it was stopped before it finished.
    using ProgramRunner = std::function<std::optional<ProgramOutcome>(const BatchProgram&)>;

    ProgramWorkerPool(unsigned jobs, ProgramRunner run, std::function<bool()> stopRequested)
        : jobs_(jobs), run_(std::move(run)), stopRequested_(std::move(stopRequested)) {}

    // Runs the programs in list order and returns the outcomes of those that
    // finished, in list order. On the calling thread, `progress` hears of
    // every program as it ends and is shown the state about five times a
    // second. Once a stop is requested no further program starts; the call
    // returns when the running ones have ended.
    std::vector<ProgramOutcome> Run(const std::vector<BatchProgram>& programs, BatchProgress& progress) const;

private:
    unsigned jobs_;
    ProgramRunner run_;
    std::function<bool()> stopRequested_;
};

}  // namespace tamberlo::cli
