#include "cli/reports/ReportIssue.h"

#include "cli/base/CommandText.h"
#include "cli/reports/Md5.h"

#include <algorithm>
#include <map>

namespace tamberlo::cli {
namespace {

constexpr const char* exitCodeRule = "exit-code";

// The issue that tells why a program did not pass when no kept finding
// does: none for a program whose findings explain its verdict.
std::optional<ReportIssue> FailureIssue(const ProgramOutcome& outcome) {
    ReportIssue issue;
    issue.message = commandtext::ToUtf8(outcome.problem);
    switch (outcome.verdict) {
    case Verdict::Clean: return std::nullopt;
    case Verdict::Warnings:
    case Verdict::Failed: {
        if (!outcome.UnexplainedByFindings()) return std::nullopt;
        issue.ruleId = exitCodeRule;
        issue.severity =
            outcome.verdict == Verdict::Failed ? ReportIssue::Severity::Error : ReportIssue::Severity::Warning;
        // What SAS wrote on its console is the only reason a SAS that did
        // not start gives.
        if (!outcome.consoleLine.empty()) {
            issue.message = commandtext::ToUtf8(outcome.ExitCodeProblem());
        } else {
            issue.message = outcome.sasExitCode ? "SAS ended with exit code " + std::to_string(*outcome.sasExitCode)
                                                : std::string("SAS did not end by itself");
        }
        return issue;
    }
    case Verdict::TamberloError: issue.ruleId = "tamberlo-error"; return issue;
    case Verdict::TimeLimit: issue.ruleId = "time-limit"; return issue;
    case Verdict::NotRun: issue.ruleId = "not-run"; return issue;
    }
    return std::nullopt;
}

ReportIssue::Severity SeverityOf(const Finding& finding) {
    if (finding.kind == LogLineClassifier::Kind::Warning) return ReportIssue::Severity::Warning;
    const bool written = finding.ruleId == "ERROR" || finding.ruleId.rfind("SAS", 0) == 0;
    return written ? ReportIssue::Severity::Error : ReportIssue::Severity::RuleError;
}

std::string WithoutDigits(std::string text) {
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }), text.end());
    return text;
}

// Counts the issues of one run that would share a fingerprint, so that each
// gets one of its own. The runs of a parameter table's rows share their
// program, lines and messages: the row keeps their issues apart.
class Fingerprints {
public:
    explicit Fingerprints(std::string row) : row_(std::move(row)) {}

    std::string Next(const ReportIssue& issue) {
        const std::string key =
            issue.ruleId + '\n' + issue.place.path + '\n' + WithoutDigits(issue.message) + '\n' + row_;
        return Md5Hex(key + '\n' + std::to_string(seen_[key]++));
    }

private:
    const std::string row_;
    std::map<std::string, std::size_t> seen_;
};

// A rule id ("strict-uninitialized", "fail-on-2", a --fail-on NAME: a
// letter, then letters, digits, ".", "_" or "-") in Pascal case:
// "StrictUninitialized", "FailOn2".
std::string PascalName(const std::string& ruleId) {
    std::string name;
    bool wordStart = true;
    for (const char c : ruleId) {
        if (c == '-' || c == '_' || c == '.') {
            wordStart = true;
            continue;
        }
        name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        wordStart = false;
    }
    return name.empty() ? "Rule" : name;
}

}  // namespace

RuleText DescribeRule(const std::string& ruleId, const LogRules& rules) {
    if (ruleId == "ERROR" || ruleId == "WARNING") {
        const std::string kind = ruleId == "ERROR" ? "an error" : "a warning";
        return {ruleId == "ERROR" ? "SasErrorLine" : "SasWarningLine", "SAS " + ruleId + " line",
                "A message SAS wrote to the log as " + kind + " (\"" + ruleId + ":\").",
                "SAS wrote " + kind +
                    " for the step at this line; the message, continuation lines included, "
                    "says what it met."};
    }
    if (ruleId.rfind("SAS", 0) == 0) {
        const std::string number = ruleId.substr(3);
        std::string name = "SasMessage" + number;
        std::replace(name.begin(), name.end(), '-', '_');
        return {name, "SAS message " + number,
                "A message SAS wrote to the log with message number " + number + " (\"ERROR " + number +
                    ":\" or \"WARNING " + number + ":\").",
                "SAS wrote message " + number +
                    " for the step at this line; SAS's documentation of its "
                    "messages explains the number."};
    }
    for (const LogRule& rule : rules.FailOnRules()) {
        if (rule.id != ruleId) continue;
        const std::string description = commandtext::ToUtf8(rule.description);
        const char* option = ruleId.rfind("strict-", 0) == 0 ? "--strict" : "--fail-on";
        return {PascalName(ruleId), description,
                "A log line matching " + commandtext::ToUtf8(rule.pattern) + ": " + description + " (" + option + ").",
                std::string("The site's rule ") + option + " makes such a line fail the program."};
    }
    if (ruleId == exitCodeRule) {
        return {"ExitCode", "SAS ended with a failure code",
                "SAS ended with an exit code that the log's lines do not explain (a crash, a signal, %ABORT, a "
                "failure before the log), or did not end by itself.",
                "The log and SAS's console show how far the program came."};
    }
    if (ruleId == "tamberlo-error") {
        return {"TamberloError", "The program could not be run",
                "Tamberlo could not run the program: the message says why.",
                "Check the program file, the SAS installation and the options."};
    }
    if (ruleId == "time-limit") {
        return {"TimeLimit", "The time limit was reached", "SAS was stopped at the time limit of --timeout.",
                "The log shows where the program was when it was stopped."};
    }
    if (ruleId == "not-run") {
        return {"NotRun", "The program did not finish", "The batch was interrupted before the program finished.",
                "Run the batch again."};
    }
    return {PascalName(ruleId), ruleId, "Log lines of rule " + ruleId + ".", "See the message."};
}

std::size_t ForEachReportIssue(const OutcomeSequence& outcomes, const SourceRoot& root, std::size_t limit,
                               const std::function<void(const ProgramOutcome&, const ReportIssue&)>& take) {
    std::size_t count = 0;
    const auto hand = [&](const ProgramOutcome& outcome, const ReportIssue& issue) {
        if (count++ < limit) take(outcome, issue);
    };
    for (const ProgramOutcome& outcome : outcomes) {
        const SourceRoot::Place program =
            outcome.program.path.empty() ? SourceRoot::Place{} : root.Locate(outcome.program.path);
        Fingerprints fingerprints(outcome.program.row);
        // A row's run says its row, as the terminal does.
        const std::string ofRow = outcome.program.row.empty() ? "" : " (row " + outcome.program.row + ")";
        const std::vector<Finding> findings = outcome.KeptFindings();
        for (const Finding& finding : findings) {
            ReportIssue issue;
            issue.ruleId = finding.ruleId;
            issue.severity = SeverityOf(finding);
            issue.message = outcome.encoding.ToUtf8(finding.text) + ofRow;
            issue.place =
                finding.includedFile.empty() ? program : root.Locate(commandtext::FromHost(finding.includedFile));
            if (finding.programLine) issue.line = *finding.programLine;
            issue.logLine = finding.logLine;
            issue.fingerprint = fingerprints.Next(issue);
            hand(outcome, issue);
        }
        if (std::optional<ReportIssue> issue = FailureIssue(outcome)) {
            issue->place = program;
            issue->message += ofRow;
            issue->fingerprint = fingerprints.Next(*issue);
            hand(outcome, *issue);
        }
    }
    return count;
}

}  // namespace tamberlo::cli
