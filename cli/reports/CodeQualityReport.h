#pragma once

#include "cli/reports/JunitJsonReports.h"

#include <ostream>
#include <vector>

namespace tamberlo::cli {

// A GitLab Code Quality report: a JSON array with an issue per ReportIssue
// (description, check_name as the rule id, fingerprint, severity: critical
// for an ERROR line and a failure without one, major for a line --fail-on
// or --strict made an error, minor for a WARNING line and SAS's exit code
// 1; the file relative to the source root as location.path, its line as
// location.lines.begin, 1 when the issue names no line). Streamed.
void WriteCodeQualityReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes);

}  // namespace tamberlo::cli
