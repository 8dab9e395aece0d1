#include "cli/batch/BatchReport.h"

#include "host/AnsiText.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace tamberlo::cli {
namespace {

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

// 8-bit text as XML character data, or as an attribute value, where line
// breaks and tabs are kept as references (a parser turns them into blanks).
std::string Xml(std::string_view text, bool attribute = false) {
    std::string xml;
    for (const char c : ansi::ToUtf8(text)) {
        if (attribute && (c == '\n' || c == '\r' || c == '\t')) {
            xml.append("&#").append(std::to_string(static_cast<int>(c))).append(";");
            continue;
        }
        switch (c) {
        case '&': xml += "&amp;"; break;
        case '<': xml += "&lt;"; break;
        case '>': xml += "&gt;"; break;
        case '"': xml += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                xml.append("%").append(std::to_string(static_cast<int>(c)));
            } else {
                xml += c;
            }
        }
    }
    return xml;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::string TestCase(const ProgramOutcome& outcome) {
    std::string xml = "  <testcase name=\"" + Xml(outcome.program.name) + "\" classname=\"tamberlo\" time=\"" +
                      Seconds(outcome.seconds) + "\">\n";
    const std::string exitCode = outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "none";
    switch (outcome.verdict) {
    case ProgramOutcome::Verdict::Failed: {
        const std::string message =
            outcome.firstErrorLines.empty() ? "SAS exit code " + exitCode : JoinLines(outcome.firstErrorLines);
        xml += "    <failure message=\"" + Xml(message, true) + "\" type=\"SAS errors\">" + Xml(message) +
               "\nSAS exit code " + exitCode + ", " + std::to_string(outcome.logLines.errorLines) +
               " error lines</failure>\n";
        break;
    }
    case ProgramOutcome::Verdict::TamberloError:
    case ProgramOutcome::Verdict::TimeLimit: {
        const char* type = outcome.verdict == ProgramOutcome::Verdict::TimeLimit ? "time limit" : "Tamberlo error";
        xml += "    <error message=\"" + Xml(outcome.problem, true) + "\" type=\"" + type + "\">" + Xml(outcome.problem) +
               "</error>\n";
        break;
    }
    case ProgramOutcome::Verdict::Clean:
    case ProgramOutcome::Verdict::Warnings:
        break;
    }
    xml += "    <system-out>" + Xml(outcome.log) + "</system-out>\n  </testcase>\n";
    return xml;
}

}  // namespace

std::string JUnitReport(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes) {
    std::size_t failures = 0;
    std::size_t errors = 0;
    for (const ProgramOutcome& outcome : outcomes) {
        if (outcome.verdict == ProgramOutcome::Verdict::Failed) ++failures;
        if (outcome.verdict == ProgramOutcome::Verdict::TamberloError ||
            outcome.verdict == ProgramOutcome::Verdict::TimeLimit) {
            ++errors;
        }
    }
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuite name=\"" + Xml(summary.suiteName) + "\" tests=\"" + std::to_string(outcomes.size()) +
           "\" failures=\"" + std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
           "\" time=\"" + Seconds(summary.seconds) + "\" timestamp=\"" + Xml(summary.timestamp) +
           "\" hostname=\"" + Xml(summary.hostName) + "\">\n";
    xml += "  <properties/>\n";
    for (const ProgramOutcome& outcome : outcomes) xml += TestCase(outcome);
    xml += "  <system-out/>\n  <system-err/>\n</testsuite>\n";
    return xml;
}

std::string JsonReport(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes) {
    using Json = nlohmann::ordered_json;
    Json programs = Json::array();
    for (const ProgramOutcome& outcome : outcomes) {
        Json errorLines = Json::array();
        for (const std::string& line : outcome.firstErrorLines) errorLines.push_back(ansi::ToUtf8(line));
        programs.push_back(Json{{"name", ansi::ToUtf8(outcome.program.name)},
                                {"file", ansi::ToUtf8(outcome.program.path)},
                                {"verdict", VerdictText(outcome.verdict)},
                                {"exitStatus", ToInt(StatusOf(outcome.verdict))},
                                {"sasExitCode", outcome.sasExitCode ? Json(*outcome.sasExitCode) : Json()},
                                {"errorLines", outcome.logLines.errorLines},
                                {"warningLines", outcome.logLines.warningLines},
                                {"firstErrorLines", std::move(errorLines)},
                                {"problem", ansi::ToUtf8(outcome.problem)},
                                {"seconds", outcome.seconds},
                                {"log", ansi::ToUtf8(outcome.log)}});
    }
    const Json json{{"name", ansi::ToUtf8(summary.suiteName)},
                    {"timestamp", summary.timestamp},
                    {"hostname", ansi::ToUtf8(summary.hostName)},
                    {"seconds", summary.seconds},
                    {"exitStatus", summary.exitStatus},
                    {"programs", std::move(programs)}};
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tamberlo::cli
