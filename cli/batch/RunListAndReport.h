#pragma once

#include "cli/run/BatchOptions.h"
#include "cli/reports/JunitJsonReports.h"
#include "cli/batch/ProgramWorkerPool.h"
#include "cli/reports/ReportSet.h"

#include <functional>
#include <vector>

namespace tamberlo::cli {

// What `batch` and `scan` share once their list is made: goes through the
// list with `run` on options.jobs workers, shows the progress and the table
// on standard output, writes the GitHub Actions annotations when wanted,
// and the reports. `summary` comes with the suite's name, shard,
// parameters and whether the logs stay; the rest is filled in here. Ctrl-C stops the runs: those
// that did not finish are reported as not run. Returns the exit status:
// the worst verdict's, 130 when interrupted, 74 when a report or the step
// summary could not be written.
int RunListAndReport(const BatchOptions& options, const BatchProgramList& programs, const ProgramWorkerPool::Step& run,
                     BatchSummary summary, ReportSet& reports);

// `run`'s exit status; a UsageError it throws is said on standard error and
// exits with 64, any other exception with 3.
int WithCommandErrors(const std::function<int()>& run);

}  // namespace tamberlo::cli
