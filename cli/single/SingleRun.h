#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/single/ProgramAssembly.h"
#include "cli/run/PutFileList.h"
#include "cli/run/ProgramOutcome.h"

#include <exception>
#include <string>
#include <vector>

namespace tamberlo::cli {

class LogFollower;

// What the single run keeps of its program's run once the session (and with
// it the put files' temporary files) is gone: the judged outcome, which the
// reports share with a batch's programs, and the texts the command shows.
struct SingleRunResult {
    bool executed = false;  // false: no program, only the report of a fresh object
    // The judgement (verdict, counts, findings, SAS's exit code) and the
    // session encoding of log, listing and put files (report: UTF-8).
    ProgramOutcome outcome;
    std::string status;                  // the run's status string
    std::string log;                     // cleaned unless --raw
    std::string lst;                     // cleaned unless --raw
    std::string console;                 // what SAS wrote to its console (POSIX), raw
    std::vector<PutFileEntry> putFiles;  // filled when asked for
    std::string report;                  // DebugInfo, when asked for
    // What Execute raised, with what SAS had written by then (a stopped
    // run's partial log and listing) in log and lst.
    std::exception_ptr failure;
};

// The command's run of the program assembled from its command line: one
// session on this machine, judged as a batch's programs are.
class SingleRun {
public:
    explicit SingleRun(const SingleRunOptions& options) : options_(options) {}

    // Sets the session up, assigns the program and, if there is one,
    // executes it, following the log when asked, and judges it by the
    // options' log rules. An error that Execute raises comes back in
    // `failure`, with the texts SAS had written; other errors raised by
    // Tamberlo pass unchanged (a parameter SAS cannot be given as
    // ParameterUsageError). The session and its put files are gone by then.
    SingleRunResult Run(const std::vector<ProgramAssembly::Assignment>& program, LogFollower* follower) const;

private:
    const SingleRunOptions& options_;
};

}  // namespace tamberlo::cli
