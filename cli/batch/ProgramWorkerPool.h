#pragma once

#include "cli/batch/BatchProgramList.h"
#include "cli/run/ProgramOutcome.h"

#include <functional>
#include <cstddef>
#include <optional>

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
    // Takes the outcome of the program at `index` of the list.
    using FinishedProgram = std::function<void(std::size_t index, ProgramOutcome&& outcome)>;

    ProgramWorkerPool(unsigned jobs, Step run, std::function<bool()> stopRequested)
        : jobs_(jobs), run_(std::move(run)), stopRequested_(std::move(stopRequested)) {}

    // Starts the programs in list order and hands the outcome of each that
    // finished to `finished` as it ends, on the calling thread, after
    // `progress` has heard of it; nothing is kept here, so that memory does
    // not grow with the list. `progress` is shown the state about five times
    // a second. Once a stop is requested no further program starts; the
    // call returns when the running ones have ended.
    void Run(const BatchProgramList& programs, BatchProgress& progress, const FinishedProgram& finished) const;

private:
    unsigned jobs_;
    Step run_;
    std::function<bool()> stopRequested_;
};

}  // namespace tamberlo::cli
