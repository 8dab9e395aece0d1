#pragma once

#include "cli/batch/BatchOptions.h"
#include "cli/ProgramOutcome.h"

#include <string>
#include <vector>

namespace tamberlo::cli {

// The facts of a finished batch, as the report files show them.
struct BatchSummary {
    std::string suiteName;  // "tamberlo batch", with the shard: "tamberlo batch 2/3"
    std::string timestamp;  // when the batch started, UTC: "2026-12-07T23:46:17"
    std::string hostName;
    double seconds = 0;
    int exitStatus = 0;
};

// A JUnit XML report as CI servers read it: one testsuite, a testcase per
// program (its name, "tamberlo" as class name, the time in seconds and the
// log in system-out); <failure> for a failed program, with its first ERROR
// lines as the message, <error> for a Tamberlo error or a time limit. Only
// elements and attributes that the common JUnit schemas know, so that strict
// readers take it too. Texts are UTF-8; control characters that XML cannot
// carry show as %<code>.
std::string JUnitReport(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes);

// The same facts as one JSON object: the summary and "programs", one object
// per program (name, file, verdict, exitStatus, sasExitCode or null,
// errorLines, warningLines, firstErrorLines, problem, seconds, log).
std::string JsonReport(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes);

}  // namespace tamberlo::cli
