#include "cli/batch/BatchReport.h"

#include "cli/batch/ReportText.h"
#include "cli/CommandText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

namespace tamberlo::cli {
namespace {

using report_text::Xml;

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// The command's text (names, paths, problems) as XML.
std::string TextXml(std::string_view text, bool attribute = false) { return Xml(commandtext::ToUtf8(text), attribute); }

// The program's log, decoded a piece at a time and written escaped by
// `append(out, piece)`, so that no report holds a whole log in memory.
template <typename Append>
void StreamLog(std::ostream& out, const ProgramOutcome& outcome, Append append) {
    if (outcome.logFile.empty()) return;
    std::string escaped;
    report_text::ForEachPiece(outcome.logFile, outcome.encoding, [&](std::string_view piece) {
        escaped.clear();
        append(escaped, piece);
        out << escaped;
    });
}

std::string ExitCodeText(const ProgramOutcome& outcome) {
    return outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "none";
}

void WriteTestCase(std::ostream& out, const ProgramOutcome& outcome) {
    out << "  <testcase name=\"" << TextXml(outcome.program.name) << "\" classname=\"tamberlo\" time=\""
        << Seconds(outcome.seconds) << "\">\n";
    switch (outcome.verdict) {
    case ProgramOutcome::Verdict::Failed: {
        std::string message;
        for (const Finding& finding : outcome.findings) {
            if (finding.kind != LogLineClassifier::Kind::Error) continue;
            if (std::count(message.begin(), message.end(), '\n') == 2) break;
            if (!message.empty()) message += '\n';
            message += FindingLine(outcome, finding, false);
        }
        if (message.empty()) message = "SAS exit code " + ExitCodeText(outcome);
        std::string body;
        for (const Finding& finding : outcome.findings) body += FindingLine(outcome, finding, true) + "\n";
        body += "SAS exit code " + ExitCodeText(outcome) + ", " + std::to_string(outcome.logLines.errorLines) +
                " error lines, " + std::to_string(outcome.logLines.warningLines) + " warning lines";
        out << "    <failure message=\"" << Xml(message, true) << "\" type=\"SAS errors\">" << Xml(body)
            << "</failure>\n";
        break;
    }
    case ProgramOutcome::Verdict::TamberloError:
    case ProgramOutcome::Verdict::TimeLimit: {
        const char* type = outcome.verdict == ProgramOutcome::Verdict::TimeLimit ? "time limit" : "Tamberlo error";
        out << "    <error message=\"" << TextXml(outcome.problem, true) << "\" type=\"" << type << "\">"
            << TextXml(outcome.problem) << "</error>\n";
        break;
    }
    case ProgramOutcome::Verdict::Clean:
    case ProgramOutcome::Verdict::Warnings:
        break;
    }
    out << "    <system-out>";
    StreamLog(out, outcome, [](std::string& xml, std::string_view piece) { report_text::AppendXml(xml, piece); });
    out << "</system-out>\n  </testcase>\n";
}

}  // namespace

std::string FindingLine(const ProgramOutcome& outcome, const Finding& finding, bool logLine) {
    std::string line = finding.includedFile.empty() ? commandtext::ToUtf8(outcome.program.path)
                                                    : outcome.encoding.ToUtf8(finding.includedFile);
    if (finding.programLine) line.append(":").append(std::to_string(*finding.programLine));
    line.append(": ").append(outcome.encoding.ToUtf8(finding.text));
    if (logLine) line.append(" (log line ").append(std::to_string(finding.logLine)).append(")");
    return line;
}

void WriteJUnitReport(std::ostream& out, const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes) {
    std::size_t failures = 0;
    std::size_t errors = 0;
    for (const ProgramOutcome& outcome : outcomes) {
        if (outcome.verdict == ProgramOutcome::Verdict::Failed) ++failures;
        if (outcome.verdict == ProgramOutcome::Verdict::TamberloError ||
            outcome.verdict == ProgramOutcome::Verdict::TimeLimit) {
            ++errors;
        }
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    out << "<testsuite name=\"" << TextXml(summary.suiteName) << "\" tests=\"" << outcomes.size() << "\" failures=\""
        << failures << "\" errors=\"" << errors << "\" time=\"" << Seconds(summary.seconds) << "\" timestamp=\""
        << TextXml(summary.timestamp) << "\" hostname=\"" << TextXml(summary.hostName) << "\">\n";
    out << "  <properties/>\n";
    for (const ProgramOutcome& outcome : outcomes) WriteTestCase(out, outcome);
    out << "  <system-out/>\n  <system-err/>\n</testsuite>\n";
}

void WriteJsonReport(std::ostream& out, const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes) {
    using Json = nlohmann::ordered_json;
    const auto dump = [](const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); };
    out << "{\n  \"name\": " << dump(commandtext::ToUtf8(summary.suiteName)) << ",\n  \"timestamp\": "
        << dump(summary.timestamp) << ",\n  \"hostname\": " << dump(commandtext::ToUtf8(summary.hostName))
        << ",\n  \"seconds\": " << dump(summary.seconds) << ",\n  \"exitStatus\": " << summary.exitStatus
        << ",\n  \"programs\": [";
    bool first = true;
    for (const ProgramOutcome& outcome : outcomes) {
        Json errorLines = Json::array();
        for (const std::string& line : outcome.FirstErrorLines()) errorLines.push_back(outcome.encoding.ToUtf8(line));
        Json findings = Json::array();
        for (const Finding& finding : outcome.findings) {
            findings.push_back(Json{{"kind", finding.kind == LogLineClassifier::Kind::Warning ? "warning" : "error"},
                                    {"logLine", finding.logLine},
                                    {"programLine", finding.programLine ? Json(*finding.programLine) : Json()},
                                    {"text", outcome.encoding.ToUtf8(finding.text)},
                                    {"rule", finding.ruleId}});
            if (!finding.includedFile.empty()) findings.back()["includedFile"] = outcome.encoding.ToUtf8(finding.includedFile);
        }
        const Json program{{"name", commandtext::ToUtf8(outcome.program.name)},
                           {"file", commandtext::ToUtf8(outcome.program.path)},
                           {"verdict", VerdictText(outcome.verdict)},
                           {"exitStatus", ToInt(StatusOf(outcome.verdict))},
                           {"sasExitCode", outcome.sasExitCode ? Json(*outcome.sasExitCode) : Json()},
                           {"errorLines", outcome.logLines.errorLines},
                           {"warningLines", outcome.logLines.warningLines},
                           {"firstErrorLines", std::move(errorLines)},
                           {"findings", std::move(findings)},
                           {"problem", commandtext::ToUtf8(outcome.problem)},
                           {"seconds", outcome.seconds}};
        std::string text = dump(program);
        text.pop_back();  // the closing brace: the log follows, streamed
        out << (first ? "\n    " : ",\n    ") << text << ",\"log\":\"";
        first = false;
        StreamLog(out, outcome, report_text::AppendJson);
        out << "\"}";
    }
    out << (first ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace tamberlo::cli
