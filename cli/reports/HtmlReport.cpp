#include "cli/reports/HtmlReport.h"

#include "cli/base/LineBreak.h"
#include "cli/reports/MarkupWriter.h"
#include "cli/reports/ReportPage.h"  // generated from report.css and report.js by EmbedReportPage.cmake
#include "cli/reports/ReportText.h"
#include "cli/run/RunParameters.h"
#include "cli/base/CommandText.h"
#include "cli/findings/LogLineClassifier.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <limits>
#include <cstdio>
#include <filesystem>
#include <set>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t shownBytes = report_text::ShownBytes;
// A time keeps its unit on its line: a no-break space (U+00A0) between them,
// so that a narrow column never shows "0.02" above "s".
constexpr const char* secondsUnit = "\xc2\xa0s";
constexpr ProgramOutcome::Verdict verdicts[] = {
    ProgramOutcome::Verdict::Clean,         ProgramOutcome::Verdict::Warnings,  ProgramOutcome::Verdict::Failed,
    ProgramOutcome::Verdict::TamberloError, ProgramOutcome::Verdict::TimeLimit, ProgramOutcome::Verdict::NotRun};

std::string CssVerdict(ProgramOutcome::Verdict verdict) {
    std::string text = VerdictText(verdict);
    std::replace(text.begin(), text.end(), ' ', '-');
    return text;
}

std::string Number(double value, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The class of a log line as SAS's log window colours it: E, W, N or none.
const char* LineClass(std::string_view line) {
    // The log as shown is cleaned: a page's form feed reads "%12".
    if (line.substr(0, 3) == "%12") line.remove_prefix(3);
    switch (LogLineClassifier::Classify(line)) {
    case LogLineClassifier::Kind::Error: return "E";
    case LogLineClassifier::Kind::Warning: return "W";
    case LogLineClassifier::Kind::Other: break;
    }
    if (!line.empty() && line.front() == '\f') line.remove_prefix(1);
    if (line.substr(0, 4) == "NOTE" && line.size() > 4 && (line[4] == ':' || line[4] == ' ')) return "N";
    return nullptr;
}

// The page, through a MarkupWriter: every text it shows is escaped there.
class HtmlPage {
public:
    HtmlPage(std::ostream& out, const std::string& reportFile, bool filesStay)
        : html_(out, MarkupWriter::Dialect::Html),
          folder_(fs::absolute(commandtext::ToPath(reportFile)).parent_path()),
          filesStay_(filesStay) {}

    void Write(const BatchSummary& summary, const OutcomeSequence& outcomes) {
        const std::string suite = commandtext::ToUtf8(summary.suiteName);
        html_.Verbatim("<!DOCTYPE html>\n");
        html_.Open("html").Attribute("lang", "en").Open("head").Empty("meta").Attribute("charset", "utf-8").Text("\n");
        html_.Open("title").Text(suite).Text(": ").Text(outcomes.size()).Text(" programs").Close().Text("\n");
        html_.Open("style").Verbatim(report_page::style).Close().Close().Text("\n");  // </style></head>
        html_.Open("body").Text("\n").Open("h1").Text(suite).Close().Text("\n");
        Summary(summary, outcomes.size() - summary.notRun);
        Filters(outcomes);
        html_.Open("table").Attribute("id", report_page::programsTable).Open("thead").Open("tr");
        Heading("program", "name");
        Heading("verdict");
        Heading("time", "time");
        Heading("findings", "findings");
        Heading("SAS exit code");
        Heading("first problem");
        html_.Close().Close().Text("\n").Open("tbody").Text("\n");  // </tr></thead>
        std::size_t row = 0;
        for (const ProgramOutcome& outcome : outcomes) Row(row++, outcome);
        html_.Close().Close().Text("\n").Open("h2").Text("Programs").Close().Text("\n");  // </tbody></table>
        std::size_t section = 0;
        for (const ProgramOutcome& outcome : outcomes) Section(section++, outcome);
        html_.Open("script").Verbatim(report_page::script).Close().Text("\n");
        html_.Close().Close().Text("\n");  // </body></html>
    }

private:
    static long FindingCount(const ProgramOutcome& outcome) {
        return outcome.logLines.errorLines + outcome.logLines.warningLines;
    }

    void Span(std::string_view text) { html_.Open("span").Text(text).Close(); }

    void ParameterSpans(const RunSettings& parameters) {
        for (const auto& [name, value] : ParameterList(parameters)) Span(name + " " + value);
    }

    void Summary(const BatchSummary& summary, std::size_t finished) {
        html_.Open("p").Attribute("class", "summary");
        Span(std::to_string(finished) + " of " + std::to_string(summary.programs) + " programs" +
             (summary.interrupted ? " (interrupted)" : ""));
        Span(Number(summary.seconds, "%.1f") + secondsUnit);
        Span("started " + summary.timestamp + " UTC");
        Span("on " + commandtext::ToUtf8(summary.hostName));
        if (!summary.shard.empty()) Span("shard " + summary.shard);
        ParameterSpans(summary.parameters);
        Span("exit status " + std::to_string(summary.exitStatus));
        html_.Close().Text("\n");
    }

    // A check box per verdict, with how many programs came to it, counted
    // in one pass ahead of the table.
    void Filters(const OutcomeSequence& outcomes) {
        std::size_t counts[std::size(verdicts)] = {};
        for (const ProgramOutcome& outcome : outcomes) {
            const auto* const at = std::find(std::begin(verdicts), std::end(verdicts), outcome.verdict);
            if (at != std::end(verdicts)) ++counts[at - std::begin(verdicts)];
        }
        html_.Open("p").Attribute("id", report_page::filtersParagraph);
        for (std::size_t kind = 0; kind < std::size(verdicts); ++kind) {
            const ProgramOutcome::Verdict verdict = verdicts[kind];
            const std::size_t count = counts[kind];
            html_.Open("label").Attribute("class", "v-" + CssVerdict(verdict));
            html_.Empty("input")
                .Attribute("type", "checkbox")
                .Attribute("checked")
                .Attribute("value", CssVerdict(verdict));
            html_.Text(" ").Text(VerdictText(verdict)).Text(" (");
            html_.Open("span").Attribute("class", "count").Text(count).Close().Text(")").Close();
        }
        html_.Close().Text("\n");
    }

    // A column heading; with `sortKey`, one that sorts the rows by their data-<sortKey>.
    void Heading(std::string_view text, std::string_view sortKey = {}) {
        html_.Open("th");
        if (!sortKey.empty()) html_.Attribute("class", report_page::sortableHeader).Attribute("data-sort", sortKey);
        html_.Text(text).Close();
    }

    void Cell(std::string_view text, std::string_view cssClass = {}) {
        html_.Open("td");
        if (!cssClass.empty()) html_.Attribute("class", cssClass);
        html_.Text(text).Close();
    }

    void Row(std::size_t index, const ProgramOutcome& outcome) {
        const std::string verdict = CssVerdict(outcome.verdict);
        const std::string name = commandtext::ToUtf8(outcome.program.name);
        const bool wentThrough =
            outcome.verdict == ProgramOutcome::Verdict::Clean || outcome.verdict == ProgramOutcome::Verdict::Warnings;
        html_.Open("tr").Attribute("data-verdict", verdict).Attribute("data-name", name);
        html_.Attribute("data-time", Number(outcome.seconds, "%.3f")).Attribute("data-findings", FindingCount(outcome));
        html_.Open("td").Open("a").Attribute("href", Link(SectionId(index))).Text(name).Close().Close();
        Cell(VerdictText(outcome.verdict), "v-" + verdict);
        Cell(Number(outcome.seconds, "%.2f") + secondsUnit, "num");
        Cell(std::to_string(FindingCount(outcome)), "num");
        Cell(outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "-", "num");
        Cell(wentThrough ? "" : outcome.FirstProblemLineUtf8());
        html_.Close().Text("\n");
    }

    // Built by appending: GCC 12 takes "p" + std::to_string(...) for an overlapping copy.
    static std::string SectionId(std::size_t index) { return std::string("p").append(std::to_string(index)); }
    static std::string LineId(const std::string& sectionId, long line) {
        return sectionId + "-l" + std::to_string(line);
    }
    static std::string Link(const std::string& id) { return std::string("#").append(id); }

    void Section(std::size_t index, const ProgramOutcome& outcome) {
        const std::string id = SectionId(index);
        const std::string verdict = CssVerdict(outcome.verdict);
        html_.Open("details").Attribute("class", report_page::programSection).Attribute("id", id);
        html_.Attribute("data-verdict", verdict).Open("summary");
        html_.Open("b").Text(commandtext::ToUtf8(outcome.program.name)).Close().Text(" ");
        html_.Open("span").Attribute("class", "v-" + verdict).Text(VerdictText(outcome.verdict)).Close();
        html_.Close().Text("\n");  // </summary>
        std::string facts = commandtext::ToUtf8(outcome.program.path);
        if (outcome.sasExitCode) facts += ", SAS exit code " + std::to_string(*outcome.sasExitCode);
        facts += ", " + std::to_string(outcome.logLines.errorLines) + " error lines, " +
                 std::to_string(outcome.logLines.warningLines) + " warning lines, " + Number(outcome.seconds, "%.2f") +
                 secondsUnit;
        html_.Open("p").Text(facts).Close().Text("\n");
        if (outcome.program.parameters) {
            html_.Open("p").Attribute("class", "summary");
            ParameterSpans(*outcome.program.parameters);
            html_.Close().Text("\n");
        }
        if (!outcome.problem.empty()) {
            html_.Open("p").Attribute("class", "E").Text(commandtext::ToUtf8(outcome.problem)).Close().Text("\n");
        }

        std::set<long> anchored;
        const std::vector<Finding> findings = outcome.KeptFindings();
        if (!findings.empty()) {
            html_.Open("ol").Attribute("class", "findings");
            for (const Finding& finding : findings) {
                const bool shown = finding.logLine <= LinesShown(outcome);
                if (shown) anchored.insert(finding.logLine);
                html_.Open("li").Attribute("class", finding.kind == LogLineClassifier::Kind::Warning ? "W" : "E");
                const std::string place = "log line " + std::to_string(finding.logLine);
                if (shown) {
                    html_.Open("a").Attribute("href", Link(LineId(id, finding.logLine))).Text(place).Close();
                } else {
                    html_.Text(place);
                }
                if (finding.programLine) html_.Text(", program line ").Text(*finding.programLine);
                html_.Text(": ").Text(outcome.encoding.ToUtf8(finding.text)).Close();
            }
            html_.Close().Text("\n");
        }
        if (!outcome.logFile.empty()) {
            html_.Open("h3").Text("Log").Close().Text("\n");
            TextFile(outcome.logFile, outcome.logBytes, "log", outcome, id, &anchored);
        }
        if (!outcome.lstFile.empty()) {
            html_.Open("h3").Text("Listing").Close().Text("\n");
            TextFile(outcome.lstFile, std::nullopt, "lst", outcome, id, nullptr);
        }
        html_.Close().Text("\n");  // </details>
    }

    // The lines of the log the page shows: all, unless it is longer than
    // shownBytes. Counted before the log is written so that a finding links
    // only to a line that is there.
    long LinesShown(const ProgramOutcome& outcome) {
        if (outcome.logFile != countedFile_) {
            countedFile_ = outcome.logFile;
            const std::optional<std::uint64_t> size = FileBytes(outcome.logFile, outcome.logBytes);
            // Decoded and cleaned, a byte takes at most three.
            linesShown_ = size && *size <= shownBytes / 3 ? std::numeric_limits<long>::max() : CountShownLines(outcome);
        }
        return linesShown_;
    }

    // The size of the file, or its first `judged` bytes when it has more;
    // none when it cannot be told.
    static std::optional<std::uint64_t> FileBytes(const std::string& file, std::optional<std::uint64_t> judged) {
        std::error_code ec;
        const std::uint64_t size = fs::file_size(commandtext::ToPath(file), ec);
        if (ec) return std::nullopt;
        return judged ? std::min(size, *judged) : size;
    }

    // Hands `take` the lines of the file (of its first `bytes`, when given)
    // up to shownBytes, each with whether a break ended it, lines counted as
    // the log scan counts them: a line that runs over pieces of the file is
    // handed on whole, and a line that passes shownBytes is handed on as far
    // as it goes within them (to a whole character). True when the file was
    // longer.
    static bool ShownLines(const std::string& file, std::optional<std::uint64_t> bytesOfFile,
                           const ProgramOutcome& outcome,
                           const std::function<void(std::string_view line, bool broken)>& take) {
        std::size_t bytes = 0;
        bool cut = false;
        std::string begun;  // the start of a line that the next piece goes on with
        report_text::ForEachPiece(
            file, outcome.encoding, outcome.cleaned,
            [&](std::string_view piece) {
                for (std::size_t start = 0; start < piece.size() && !cut;) {
                    std::size_t end = NextLineBreak(piece, start);
                    if (end == std::string_view::npos) end = piece.size();
                    std::size_t next = end;
                    if (next < piece.size()) next += piece.compare(next, 2, "\r\n") == 0 ? 2 : 1;
                    if (bytes + (next - start) > shownBytes) {
                        cut = true;
                        // The start of the line that passes the limit, so
                        // that a page of one long line shows something.
                        begun.append(WholeUtf8(piece.substr(start, std::min(end - start, shownBytes - bytes))));
                        break;
                    }
                    bytes += next - start;
                    if (next == end) {
                        begun.append(piece.substr(start));
                    } else if (begun.empty()) {
                        take(piece.substr(start, end - start), true);
                    } else {
                        take(begun.append(piece.substr(start, end - start)), true);
                        begun.clear();
                    }
                    start = next;
                }
            },
            bytesOfFile);
        if (!begun.empty()) take(begun, false);
        return cut;
    }

    // `text` up to its last whole UTF-8 character.
    static std::string_view WholeUtf8(std::string_view text) {
        std::size_t end = text.size();
        std::size_t back = 0;
        while (back < 4 && back < end && (static_cast<unsigned char>(text[end - 1 - back]) & 0xC0) == 0x80) ++back;
        if (back < end) {
            const std::size_t lead = end - 1 - back;
            const std::size_t length = utf8::SequenceLength(text, lead);
            if (length == 0 || lead + length > end) end = lead;
        }
        return text.substr(0, end);
    }

    static long CountShownLines(const ProgramOutcome& outcome) {
        long lines = 0;
        ShownLines(outcome.logFile, outcome.logBytes, outcome, [&](std::string_view, bool) { ++lines; });
        return lines;
    }

    // The file's text (of its first `bytesOfFile`, when given) in <pre
    // class="`cssClass`">, each line coloured as SAS's log window does when
    // `anchored` is given (a log), with an id on the lines findings link
    // to. Past shownBytes, a note after it says how much is shown, and links
    // to the whole file when it stays.
    void TextFile(const std::string& file, std::optional<std::uint64_t> bytesOfFile, const char* cssClass,
                  const ProgramOutcome& outcome, const std::string& id, const std::set<long>* anchored) {
        html_.Open("pre").Attribute("class", cssClass);
        long lineNumber = 0;
        const bool cut = ShownLines(file, bytesOfFile, outcome, [&](std::string_view line, bool broken) {
            ++lineNumber;
            const char* kind = anchored ? LineClass(line) : nullptr;
            const bool anchor = anchored && anchored->count(lineNumber) > 0;
            if (kind || anchor) {
                html_.Open("span");
                if (kind) html_.Attribute("class", kind);
                if (anchor) html_.Attribute("id", LineId(id, lineNumber));
                html_.Text(line).Close();
            } else {
                html_.Text(line);
            }
            if (broken) html_.Text("\n");
        });
        html_.Close().Text("\n");
        if (!cut) return;
        const std::uint64_t size = FileBytes(file, bytesOfFile).value_or(0);
        html_.Open("p").Text("The first ").Text(shownBytes / 1024).Text(" KiB of ").Text(size / 1024);
        html_.Text(" KiB are shown");
        if (filesStay_) {
            const fs::path relative = fs::absolute(commandtext::ToPath(file)).lexically_proximate(folder_);
            html_.Text("; the whole file: ")
                .Open("a")
                .Attribute("href", UrlPath(commandtext::ToUtf8(relative.generic_string())));
            html_.Text(commandtext::ToUtf8(file)).Close();
        }
        html_.Text(".").Close().Text("\n");
    }

    // A relative path as a URL: every byte but letters, digits, "/" and
    // "-._~" as %XX.
    static std::string UrlPath(std::string_view utf8) {
        std::string url;
        for (const char c : utf8) {
            const auto byte = static_cast<unsigned char>(c);
            if (std::isalnum(byte) || std::strchr("/-._~", c)) {
                url += c;
            } else {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", byte);
                url += escape;
            }
        }
        return url;
    }

    MarkupWriter html_;
    fs::path folder_;
    bool filesStay_;
    std::string countedFile_;
    long linesShown_ = 0;
};

}  // namespace

void WriteHtmlReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes,
                     const std::string& reportFile, bool filesStay) {
    HtmlPage(out, reportFile, filesStay).Write(summary, outcomes);
}

}  // namespace tamberlo::cli
