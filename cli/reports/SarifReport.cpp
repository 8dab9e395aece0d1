#include "cli/reports/SarifReport.h"

#include "cli/reports/JsonText.h"
#include "cli/base/CommandText.h"
#include "cli/reports/ReportIssue.h"

#include <map>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {
namespace {

// The base the locations below the source root are relative to.
constexpr const char* sourceRootId = "SRCROOT";

const char* Level(ReportIssue::Severity severity) {
    return severity == ReportIssue::Severity::Warning ? "warning" : "error";
}

Json ArtifactLocation(const SourceRoot::Place& place) {
    Json location{{"uri", place.uri}};
    if (place.inside) location["uriBaseId"] = sourceRootId;
    return location;
}

Json PhysicalLocation(const SourceRoot::Place& place, long line) {
    return Json{{"artifactLocation", ArtifactLocation(place)}, {"region", {{"startLine", line}}}};
}

// The run's automation id: its category ahead of the last "/", the same for
// every run of the same batch ("tamberlo-batch/", a shard's
// "tamberlo-batch-2of3/"), so that a host puts a run's results in place of
// the previous run's of that batch, and one shard's do not replace
// another's.
std::string AutomationId(const std::string& suiteName) {
    std::string id;
    for (const char c : suiteName) id += c == ' ' ? "-" : c == '/' ? "of" : std::string(1, c);
    return id + "/";
}

// The rules the results use, in the order they are first used.
class UsedRules {
public:
    std::size_t IndexOf(const ReportIssue& issue) {
        const auto [found, added] = indexes_.emplace(issue.ruleId, rules_.size());
        if (added) rules_.push_back({issue.ruleId, issue.severity});
        return found->second;
    }

    Json ToJson(const LogRules& logRules) const {
        Json rules = Json::array();
        for (const auto& [id, severity] : rules_) {
            const RuleText text = DescribeRule(id, logRules);
            rules.push_back(Json{{"id", id},
                                 {"name", text.name},
                                 {"shortDescription", {{"text", text.shortDescription}}},
                                 {"fullDescription", {{"text", text.fullDescription}}},
                                 {"help", {{"text", text.help}}},
                                 {"defaultConfiguration", {{"level", Level(severity)}}}});
        }
        return rules;
    }

private:
    std::map<std::string, std::size_t> indexes_;
    std::vector<std::pair<std::string, ReportIssue::Severity>> rules_;
};

Json Result(const ProgramOutcome& outcome, const ReportIssue& issue, std::size_t ruleIndex, bool logsStay,
            const SourceRoot& root) {
    Json result{{"ruleId", issue.ruleId},
                {"ruleIndex", ruleIndex},
                {"level", Level(issue.severity)},
                {"message", {{"text", issue.message}}}};
    if (!issue.place.path.empty())
        result["locations"] = Json::array({{{"physicalLocation", PhysicalLocation(issue.place, issue.line)}}});
    if (logsStay && issue.logLine && *issue.logLine > 0 && !outcome.logFile.empty()) {
        const SourceRoot::Place log = root.Locate(outcome.logFile);
        result["relatedLocations"] =
            Json::array({{{"id", 1},
                          {"physicalLocation", PhysicalLocation(log, *issue.logLine)},
                          {"message", {{"text", "log line " + std::to_string(*issue.logLine)}}}}});
    }
    result["partialFingerprints"] = {{"tamberloIssue/v1", issue.fingerprint}};
    result["properties"] = {{"program", commandtext::ToUtf8(outcome.program.name)},
                            {"verdict", VerdictText(outcome.verdict)}};
    return result;
}

}  // namespace

void WriteSarifReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes,
                      std::size_t maxResults) {
    const SourceRoot root(summary.sourceRoot);
    // A first pass finds the rules, which come ahead of the results.
    UsedRules rules;
    const std::size_t issues = ForEachReportIssue(
        outcomes, root, maxResults, [&](const ProgramOutcome&, const ReportIssue& issue) { rules.IndexOf(issue); });

    Json invocation{{"executionSuccessful", !summary.interrupted}, {"exitCode", summary.exitStatus}};
    if (issues > maxResults) {
        const std::string text = std::to_string(issues - maxResults) + " of " + std::to_string(issues) +
                                 " results are left out: a run holds at most " + std::to_string(maxResults);
        invocation["toolExecutionNotifications"] = Json::array({{{"level", "warning"}, {"message", {{"text", text}}}}});
    }
    Json run{{"tool",
              {{"driver",
                {{"name", "tamberlo"},
                 {"fullName", "Tamberlo " TAMBERLO_VERSION},
                 {"version", TAMBERLO_VERSION},
                 {"semanticVersion", TAMBERLO_VERSION},
                 {"rules", rules.ToJson(summary.rules)}}}}},
             {"invocations", Json::array({invocation})},
             {"originalUriBaseIds", {{sourceRootId, {{"uri", root.Uri()}}}}},
             {"automationDetails", {{"id", AutomationId(commandtext::ToUtf8(summary.suiteName))}}}};
    std::string head = JsonText(run);
    head.pop_back();  // the closing brace: the results follow, streamed

    out << "{\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\"version\":\"2.1.0\",\"runs\":[\n"
        << head << ",\"results\":[";
    bool first = true;
    ForEachReportIssue(outcomes, root, maxResults, [&](const ProgramOutcome& outcome, const ReportIssue& issue) {
        out << (first ? "\n" : ",\n") << JsonText(Result(outcome, issue, rules.IndexOf(issue), summary.logsStay, root));
        first = false;
    });
    out << "]}\n]}\n";
}

}  // namespace tamberlo::cli
