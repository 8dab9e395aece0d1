#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/base/ExitStatus.h"
#include "cli/base/OutputNames.h"
#include "cli/single/SingleRun.h"
#include "cli/reports/ReportSet.h"
#include "cli/base/ScratchFolder.h"

#include <chrono>
#include <optional>
#include <string>

namespace tamberlo {
class Error;
}

namespace tamberlo::cli {

// The reports of a single run (--junit, --html, --sarif, --codequality):
// the run as a batch of one program, written by the batch's writers with
// the batch's name checks and atomic writes. The program is named after its
// first file ("-" when it has none) and located in its file; the log the
// reports point into is --log's file when there is one.
class SingleRunReports {
public:
    // Checks the report names against `names` (the program files, --log,
    // --lst, --put-dir) and creates the files, before anything runs: a
    // UsageError naming the option as in the batch. --sarif and
    // --codequality need a program that is one file (not -e text, standard
    // input or several pieces): code scanning places results in files.
    SingleRunReports(const SingleRunOptions& options, OutputNames& names);

    bool Empty() const noexcept { return reports_.Empty(); }

    // Writes every report of the run `result` holds, or that `error` ended
    // (with the texts SAS had written by then), the command exiting with
    // `status`. False, with the reason on standard error, when one could
    // not be written.
    bool Write(const SingleRunResult& result, const Error* error, ExitStatus status);

private:
    ProgramOutcome Outcome(const SingleRunResult& result, const Error* error);

    const SingleRunOptions& options_;
    ReportSet reports_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::optional<ScratchFolder> scratch_;
};

}  // namespace tamberlo::cli
