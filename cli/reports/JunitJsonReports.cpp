#include "cli/reports/JunitJsonReports.h"

#include "cli/reports/JsonText.h"
#include "cli/reports/MarkupWriter.h"
#include "cli/reports/ReportText.h"
#include "cli/run/RunParameters.h"
#include "cli/base/CommandText.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <system_error>
#include <unordered_set>

namespace tamberlo::cli {
namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// Hands `take` the program's log decoded a piece at a time, so that no
// report holds a whole log in memory, up to report_text::ShownBytes of the
// bytes judged (ProgramOutcome::logBytes); a longer log ends in a line that
// says so and, when the log stays, where it is: "[The log is cut here: the
// first 256 KiB of 20480 KiB are shown; the whole log: out/p1.log]".
void StreamLog(const ProgramOutcome& outcome, bool logsStay, const std::function<void(std::string_view utf8)>& take) {
    if (outcome.logFile.empty()) return;
    bool lineBegun = false;
    const bool cut = report_text::ForEachShownPiece(
        outcome.logFile, outcome.encoding, outcome.cleaned,
        [&](std::string_view piece) {
            if (!piece.empty()) lineBegun = piece.back() != '\n';
            take(piece);
        },
        outcome.logBytes);
    if (!cut) return;
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(commandtext::ToPath(outcome.logFile), ec);
    if (ec) size = 0;
    if (outcome.logBytes) size = std::min<std::uintmax_t>(size, *outcome.logBytes);
    std::string note = lineBegun ? "\n" : "";
    note += "[The log is cut here: the first " + std::to_string(report_text::ShownBytes / 1024) + " KiB of " +
            std::to_string(size / 1024) + " KiB are shown; ";
    note +=
        logsStay ? "the whole log: " + commandtext::ToUtf8(outcome.logFile) : std::string("--out keeps the whole log");
    take(note + "]\n");
}

// "2 of 3 programs did not finish"
std::string InterruptionText(const BatchSummary& summary) {
    return std::to_string(summary.notRun) + " of " + std::to_string(summary.programs) + " programs did not finish";
}

std::string ExitCodeText(const ProgramOutcome& outcome) {
    return outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "none";
}

// The JSON's "problem": the Tamberlo error or the time limit, or, for a
// program that failed without a finding that says why, the console's line
// when SAS wrote one (why it did not start).
std::string ProblemText(const ProgramOutcome& outcome) {
    if (outcome.problem.empty() && !outcome.consoleLine.empty() && outcome.UnexplainedByFindings())
        return outcome.ExitCodeProblem();
    return outcome.problem;
}

void WriteTestCase(MarkupWriter& xml, const ProgramOutcome& outcome, bool logsStay) {
    xml.Text("  ").Open("testcase").Attribute("name", commandtext::ToUtf8(outcome.program.name));
    xml.Attribute("classname", "tamberlo").Attribute("time", Seconds(outcome.seconds)).Text("\n");
    switch (outcome.verdict) {
    case ProgramOutcome::Verdict::Failed: {
        const std::vector<Finding> findings = outcome.KeptFindings();
        std::string message;
        for (const Finding& finding : findings) {
            if (finding.kind != LogLineClassifier::Kind::Error) continue;
            if (std::count(message.begin(), message.end(), '\n') == 2) break;
            if (!message.empty()) message += '\n';
            message += FindingLine(outcome, finding, false);
        }
        if (message.empty()) message = commandtext::ToUtf8(outcome.ExitCodeProblem());
        std::string body;
        for (const Finding& finding : findings) body += FindingLine(outcome, finding, true) + "\n";
        body += "SAS exit code " + ExitCodeText(outcome) + ", " + std::to_string(outcome.logLines.errorLines) +
                " error lines, " + std::to_string(outcome.logLines.warningLines) + " warning lines";
        xml.Text("    ").Open("failure").Attribute("message", message).Attribute("type", "SAS errors");
        xml.Text(body).Close().Text("\n");
        break;
    }
    case ProgramOutcome::Verdict::TamberloError:
    case ProgramOutcome::Verdict::TimeLimit: {
        const char* type = outcome.verdict == ProgramOutcome::Verdict::TimeLimit ? "time limit" : "Tamberlo error";
        const std::string problem = commandtext::ToUtf8(outcome.problem);
        xml.Text("    ").Open("error").Attribute("message", problem).Attribute("type", type);
        xml.Text(problem).Close().Text("\n");
        break;
    }
    case ProgramOutcome::Verdict::NotRun:
        xml.Text("    ").Empty("skipped").Attribute("message", commandtext::ToUtf8(outcome.problem)).Text("\n");
        break;
    case ProgramOutcome::Verdict::Clean:
    case ProgramOutcome::Verdict::Warnings: break;
    }
    xml.Text("    ").Open("system-out");
    StreamLog(outcome, logsStay, [&](std::string_view piece) { xml.Text(piece); });
    xml.Close().Text("\n  ").Close().Text("\n");  // </system-out> </testcase>
}

}  // namespace

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&now));
    return text;
}

std::string FindingLine(const ProgramOutcome& outcome, const Finding& finding, bool logLine) {
    std::string line = finding.includedFile.empty() ? commandtext::ToUtf8(outcome.program.Place())
                                                    : outcome.encoding.ToUtf8(finding.includedFile);
    if (finding.programLine) line.append(":").append(std::to_string(*finding.programLine));
    line.append(": ").append(outcome.encoding.ToUtf8(finding.text));
    if (logLine) line.append(" (log line ").append(std::to_string(finding.logLine)).append(")");
    return line;
}

void WriteJUnitReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes) {
    // A first pass: the suite's counts and properties come before its testcases.
    std::size_t failures = 0;
    std::size_t errors = 0;
    // A testcase has no properties of its own: each row's runs are named
    // after it, and its parameters are the suite's "[<row>] <name>".
    auto properties = ParameterList(summary.parameters);
    std::unordered_set<std::string> rows;
    for (const ProgramOutcome& outcome : outcomes) {
        if (outcome.verdict == ProgramOutcome::Verdict::Failed) ++failures;
        if (outcome.verdict == ProgramOutcome::Verdict::TamberloError ||
            outcome.verdict == ProgramOutcome::Verdict::TimeLimit) {
            ++errors;
        }
        if (!outcome.program.parameters || !rows.insert(outcome.program.row).second) continue;
        for (auto& [name, value] : ParameterList(*outcome.program.parameters))
            properties.emplace_back("[" + outcome.program.row + "] " + name, std::move(value));
    }
    MarkupWriter xml(out, MarkupWriter::Dialect::Xml);
    xml.Verbatim("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    xml.Open("testsuite").Attribute("name", commandtext::ToUtf8(summary.suiteName)).Attribute("tests", outcomes.size());
    xml.Attribute("failures", failures).Attribute("errors", errors).Attribute("time", Seconds(summary.seconds));
    xml.Attribute("timestamp", summary.timestamp).Attribute("hostname", commandtext::ToUtf8(summary.hostName));
    if (summary.interrupted) properties.emplace_back("interrupted", InterruptionText(summary));
    if (properties.empty()) {
        xml.Text("\n  ").Empty("properties").Text("\n");
    } else {
        xml.Text("\n  ").Open("properties");
        for (const auto& [name, value] : properties) {
            xml.Text("\n    ").Empty("property").Attribute("name", name).Attribute("value", value);
        }
        xml.Text("\n  ").Close().Text("\n");
    }
    for (const ProgramOutcome& outcome : outcomes) WriteTestCase(xml, outcome, summary.logsStay);
    xml.Text("  ").Empty("system-out").Text("\n  ").Empty("system-err").Text("\n").Close().Text("\n");
}

void WriteJsonReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes) {
    out << "{\n  \"name\": " << JsonText(commandtext::ToUtf8(summary.suiteName))
        << ",\n  \"timestamp\": " << JsonText(summary.timestamp)
        << ",\n  \"hostname\": " << JsonText(commandtext::ToUtf8(summary.hostName))
        << ",\n  \"seconds\": " << JsonText(summary.seconds) << ",\n  \"exitStatus\": " << summary.exitStatus
        << ",\n  \"programs\": [";
    const Json parameters = ParametersToJson(summary.parameters);
    bool first = true;
    for (const ProgramOutcome& outcome : outcomes) {
        Json errorLines = Json::array();
        for (const std::string& line : outcome.FirstErrorLines()) errorLines.push_back(outcome.encoding.ToUtf8(line));
        Json findings = Json::array();
        for (const Finding& finding : outcome.KeptFindings()) {
            findings.push_back(Json{{"kind", finding.kind == LogLineClassifier::Kind::Warning ? "warning" : "error"},
                                    {"logLine", finding.logLine},
                                    {"programLine", finding.programLine ? Json(*finding.programLine) : Json()},
                                    {"text", outcome.encoding.ToUtf8(finding.text)},
                                    {"rule", finding.ruleId}});
            if (!finding.includedFile.empty())
                findings.back()["includedFile"] = outcome.encoding.ToUtf8(finding.includedFile);
        }
        const Json runParameters =
            outcome.program.parameters ? ParametersToJson(*outcome.program.parameters) : parameters;
        const Json program{{"name", commandtext::ToUtf8(outcome.program.name)},
                           {"file", commandtext::ToUtf8(outcome.program.path)},
                           {"parameters", runParameters},
                           {"verdict", VerdictText(outcome.verdict)},
                           {"exitStatus", ToInt(StatusOf(outcome.verdict))},
                           {"sasExitCode", outcome.sasExitCode ? Json(*outcome.sasExitCode) : Json()},
                           {"errorLines", outcome.logLines.errorLines},
                           {"warningLines", outcome.logLines.warningLines},
                           {"firstErrorLines", std::move(errorLines)},
                           {"findings", std::move(findings)},
                           {"problem", commandtext::ToUtf8(ProblemText(outcome))},
                           {"seconds", outcome.seconds}};
        std::string text = JsonText(program);
        text.pop_back();  // the closing brace: the log follows, streamed
        out << (first ? "\n    " : ",\n    ") << text << ",\"log\":\"";
        first = false;
        std::string escaped;
        StreamLog(outcome, summary.logsStay, [&](std::string_view piece) {
            escaped.clear();
            report_text::AppendJson(escaped, piece);
            out << escaped;
        });
        out << "\"}";
    }
    out << (first ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace tamberlo::cli
