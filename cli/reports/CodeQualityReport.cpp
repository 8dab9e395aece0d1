#include "cli/reports/CodeQualityReport.h"

#include "cli/reports/JsonText.h"
#include "cli/base/CommandText.h"
#include "cli/reports/ReportIssue.h"

#include <limits>
namespace tamberlo::cli {
namespace {

const char* Severity(ReportIssue::Severity severity) {
    switch (severity) {
    case ReportIssue::Severity::Warning: return "minor";
    case ReportIssue::Severity::RuleError: return "major";
    case ReportIssue::Severity::Error: break;
    }
    return "critical";
}

}  // namespace

void WriteCodeQualityReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes) {
    const SourceRoot root(summary.sourceRoot);
    bool first = true;
    out << "[";
    ForEachReportIssue(outcomes, root, std::numeric_limits<std::size_t>::max(),
                       [&](const ProgramOutcome& outcome, const ReportIssue& issue) {
                           // A program that is no file is named as it is in the other reports.
                           const std::string path =
                               issue.place.path.empty() ? commandtext::ToUtf8(outcome.program.name) : issue.place.path;
                           const Json json{{"type", "issue"},
                                           {"check_name", issue.ruleId},
                                           {"description", issue.message},
                                           {"categories", {"Bug Risk"}},
                                           {"fingerprint", issue.fingerprint},
                                           {"severity", Severity(issue.severity)},
                                           {"location", {{"path", path}, {"lines", {{"begin", issue.line}}}}}};
                           out << (first ? "\n" : ",\n") << JsonText(json);
                           first = false;
                       });
    out << (first ? "]\n" : "\n]\n");
}

}  // namespace tamberlo::cli
