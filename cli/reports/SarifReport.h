#pragma once

#include "cli/reports/JunitJsonReports.h"

#include <cstddef>
#include <ostream>
#include <vector>

namespace tamberlo::cli {

// A SARIF 2.1.0 log as code scanning (GitHub, Azure DevOps) and editors'
// SARIF viewers read it: one run of the tool "tamberlo" (with a full name)
// with an automation id made from the suite name ("tamberlo-batch/",
// "tamberlo-batch-2of3/"), the rules its results use (each with a name),
// and a result per ReportIssue: its rule, level (error, or warning for a
// WARNING line and SAS's exit code 1), message, the file (relative to the
// source root, SRCROOT, or a file: URI outside it) and line as its
// location, the log line as a related location when the log stays (--out),
// and its fingerprint as the partial fingerprint "tamberloIssue/v1".
// Results past MaxResults are left out, and a notification of the run's
// invocation says how many. Streamed: only the programs' summaries are held.
void WriteSarifReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes,
                      std::size_t maxResults = 25000);

}  // namespace tamberlo::cli
