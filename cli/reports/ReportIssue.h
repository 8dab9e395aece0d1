#pragma once

#include "cli/findings/LogRules.h"
#include "cli/run/OutcomeSequence.h"
#include "cli/run/ProgramOutcome.h"
#include "cli/reports/SourceRoot.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One thing the code-scanning reports (SARIF, Code Quality) show: a kept
// finding of a program, or a program that did not pass without a finding
// that says why (SAS's exit code, a Tamberlo error, the time limit, an
// interrupted batch), so that those reports never show a failed program as
// clean.
struct ReportIssue {
    enum class Severity {
        Warning,    // a WARNING line, or SAS's exit code 1
        RuleError,  // a line that --fail-on or --strict made an error
        Error,      // an ERROR line, or a failure without one
    };

    std::string ruleId;  // the finding's, else "exit-code", "tamberlo-error", "time-limit" or "not-run"
    Severity severity = Severity::Error;
    std::string message;  // UTF-8: the finding's whole text, or the failure as one line
    // The file it is in: the program, or the %INCLUDE file of the finding.
    SourceRoot::Place place;
    // Of that file; 1 for an issue without a line of its own (a failure, a
    // finding ahead of the program's first line, such as the autoexec's),
    // as code scanning places every result on a line.
    long line = 1;
    std::optional<long> logLine;
    // Stable across runs of the same programs on other machines and other
    // days, unique within a report: the MD5 (hex) of the rule id, the
    // file's path relative to the source root, the message with its digits
    // left out (so that line, column and observation numbers that move do
    // not change it) and which of the same such issues of the program it is.
    std::string fingerprint;
};

// What the reports say of a rule id.
struct RuleText {
    std::string name;  // an identifier in Pascal case: "SasMessage180_322", "ExitCode"
    std::string shortDescription;
    std::string fullDescription;
    std::string help;
};
RuleText DescribeRule(const std::string& ruleId, const LogRules& rules);

// The issues of `outcomes`, in order, handed to `take`; past `limit`
// they are only counted. Returns how many there are in all.
std::size_t ForEachReportIssue(const OutcomeSequence& outcomes, const SourceRoot& root, std::size_t limit,
                               const std::function<void(const ProgramOutcome&, const ReportIssue&)>& take);

}  // namespace tamberlo::cli
