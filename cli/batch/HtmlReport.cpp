#include "cli/batch/HtmlReport.h"

#include "cli/batch/ReportText.h"
#include "cli/RunParameters.h"
#include "cli/LogLineClassifier.h"
#include "cli/CommandText.h"

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
using report_text::Xml;

constexpr std::size_t shownBytes = 256 * 1024;
constexpr ProgramOutcome::Verdict verdicts[] = {ProgramOutcome::Verdict::Clean, ProgramOutcome::Verdict::Warnings,
                                                ProgramOutcome::Verdict::Failed, ProgramOutcome::Verdict::TamberloError,
                                                ProgramOutcome::Verdict::TimeLimit};

constexpr const char* style = R"(
body{font:14px/1.4 system-ui,sans-serif;margin:1em 2em;color:#222}
h1{font-size:1.4em;margin:.2em 0}h2{font-size:1.2em;margin:1.2em 0 .4em}h3{font-size:1em;margin:.8em 0 .2em}
.summary span{margin-right:1.2em}
#filters label{margin-right:1em;cursor:pointer}
table{border-collapse:collapse}th,td{padding:.15em .8em;text-align:left;border-bottom:1px solid #ddd}
th.sortable{cursor:pointer;text-decoration:underline dotted}td.num{text-align:right}
.v-clean{color:#060}.v-warnings{color:#860}.v-failed,.v-error,.v-time-limit{color:#b00;font-weight:bold}
details.program{border:1px solid #ccc;margin:.3em 0;padding:.2em .6em}details.program>summary{cursor:pointer}
pre{font:12px/1.3 ui-monospace,monospace;background:#f8f8f8;padding:.5em;overflow-x:auto;white-space:pre}
.E{color:#d00000}.W{color:#008000}.N{color:#0000d0}.target{background:#ffff80}
ol.findings li.E,ol.findings li.W{font-family:ui-monospace,monospace}
)";

constexpr const char* script = R"(
"use strict";
(function () {
  const root = document.documentElement;
  window.addEventListener("error", function (e) { root.dataset.errors = (root.dataset.errors || "") + e.message + "\n"; });
  const body = document.querySelector("#programs tbody");
  const rows = Array.from(body.rows);
  const sections = Array.from(document.querySelectorAll("details.program"));
  const boxes = Array.from(document.querySelectorAll("#filters input"));
  function applyFilter() {
    const shown = new Set(boxes.filter(function (b) { return b.checked; }).map(function (b) { return b.value; }));
    rows.forEach(function (r) { r.hidden = !shown.has(r.dataset.verdict); });
    sections.forEach(function (s) { s.hidden = !shown.has(s.dataset.verdict); });
  }
  boxes.forEach(function (b) { b.addEventListener("change", applyFilter); });
  let sortKey = "name", ascending = true;
  function sortBy(key) {
    ascending = key === sortKey ? !ascending : key === "name";
    sortKey = key;
    const sorted = rows.slice().sort(function (a, b) {
      const x = a.dataset[key], y = b.dataset[key];
      const c = key === "name" ? (x < y ? -1 : x > y ? 1 : 0) : Number(x) - Number(y);
      return ascending ? c : -c;
    });
    const fragment = document.createDocumentFragment();
    sorted.forEach(function (r) { fragment.appendChild(r); });
    body.appendChild(fragment);
    root.dataset.sorted = key + (ascending ? "" : " descending");
  }
  document.querySelectorAll("th.sortable").forEach(function (th) {
    th.addEventListener("click", function () { sortBy(th.dataset.sort); });
  });
  function reveal() {
    const id = decodeURIComponent(location.hash.slice(1));
    const target = id && document.getElementById(id);
    if (!target) return;
    for (let d = target.closest("details"); d; d = d.parentElement && d.parentElement.closest("details")) d.open = true;
    document.querySelectorAll(".target").forEach(function (t) { t.classList.remove("target"); });
    target.classList.add("target");
    target.scrollIntoView();
  }
  window.addEventListener("hashchange", reveal);
  const query = new URLSearchParams(location.search);
  if (query.has("verdict")) {
    const wanted = new Set(query.get("verdict").split(","));
    boxes.forEach(function (b) { b.checked = wanted.has(b.value); });
  }
  if (query.has("sort")) sortBy(query.get("sort"));
  applyFilter();
  reveal();
  root.dataset.ready = "yes";
})();
)";

std::string Text(std::string_view commandText) { return Xml(commandtext::ToUtf8(commandText)); }

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

class HtmlWriter {
public:
    HtmlWriter(std::ostream& out, const std::string& reportFile, bool filesStay)
        : out_(out), folder_(fs::absolute(commandtext::ToPath(reportFile)).parent_path()), filesStay_(filesStay) {}

    void Page(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes) {
        std::size_t counts[std::size(verdicts)] = {};
        for (const ProgramOutcome& outcome : outcomes) ++counts[static_cast<int>(outcome.verdict)];
        out_ << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" << Text(summary.suiteName)
             << ": " << outcomes.size() << " programs</title>\n<style>" << style << "</style></head>\n<body>\n<h1>"
             << Text(summary.suiteName) << "</h1>\n<p class=\"summary\"><span>" << outcomes.size() << " of "
             << summary.programs << " programs" << (summary.interrupted ? " (interrupted)" : "") << "</span><span>"
             << Number(summary.seconds, "%.1f") << " s</span><span>started " << Xml(summary.timestamp)
             << " UTC</span><span>on " << Text(summary.hostName) << "</span>";
        if (!summary.shard.empty()) out_ << "<span>shard " << Xml(summary.shard) << "</span>";
        for (const auto& [name, value] : ParameterList(summary.parameters)) out_ << "<span>" << Xml(name + " " + value) << "</span>";
        out_ << "<span>exit status " << summary.exitStatus << "</span></p>\n<p id=\"filters\">";
        for (const ProgramOutcome::Verdict verdict : verdicts) {
            out_ << "<label class=\"v-" << CssVerdict(verdict) << "\"><input type=\"checkbox\" checked value=\""
                 << CssVerdict(verdict) << "\"> " << VerdictText(verdict) << " (<span class=\"count\">"
                 << counts[static_cast<int>(verdict)] << "</span>)</label>";
        }
        out_ << "</p>\n<table id=\"programs\"><thead><tr><th class=\"sortable\" data-sort=\"name\">program</th>"
                "<th>verdict</th><th class=\"sortable\" data-sort=\"time\">time</th><th class=\"sortable\" "
                "data-sort=\"findings\">findings</th><th>SAS exit code</th><th>first problem</th></tr></thead>\n<tbody>\n";
        for (std::size_t i = 0; i < outcomes.size(); ++i) Row(i, outcomes[i]);
        out_ << "</tbody></table>\n<h2>Programs</h2>\n";
        for (std::size_t i = 0; i < outcomes.size(); ++i) Section(i, outcomes[i]);
        out_ << "<script>" << script << "</script>\n</body></html>\n";
    }

private:
    static long FindingCount(const ProgramOutcome& outcome) {
        return outcome.logLines.errorLines + outcome.logLines.warningLines;
    }

    void Row(std::size_t index, const ProgramOutcome& outcome) {
        const std::string verdict = CssVerdict(outcome.verdict);
        const bool wentThrough =
            outcome.verdict == ProgramOutcome::Verdict::Clean || outcome.verdict == ProgramOutcome::Verdict::Warnings;
        out_ << "<tr data-verdict=\"" << verdict << "\" data-name=\"" << Text(outcome.program.name)
             << "\" data-time=\"" << Number(outcome.seconds, "%.3f") << "\" data-findings=\"" << FindingCount(outcome)
             << "\"><td><a href=\"#p" << index << "\">" << Text(outcome.program.name) << "</a></td><td class=\"v-"
             << verdict << "\">" << VerdictText(outcome.verdict) << "</td><td class=\"num\">"
             << Number(outcome.seconds, "%.2f") << " s</td><td class=\"num\">" << FindingCount(outcome)
             << "</td><td class=\"num\">" << (outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "-")
             << "</td><td>" << (wentThrough ? "" : Xml(outcome.FirstProblemLineUtf8())) << "</td></tr>\n";
    }

    void Section(std::size_t index, const ProgramOutcome& outcome) {
        const std::string id = std::string("p").append(std::to_string(index));
        out_ << "<details class=\"program\" id=\"" << id << "\" data-verdict=\"" << CssVerdict(outcome.verdict)
             << "\"><summary><b>" << Text(outcome.program.name) << "</b> <span class=\"v-"
             << CssVerdict(outcome.verdict) << "\">" << VerdictText(outcome.verdict) << "</span></summary>\n<p>"
             << Text(outcome.program.path);
        if (outcome.sasExitCode) out_ << ", SAS exit code " << *outcome.sasExitCode;
        out_ << ", " << outcome.logLines.errorLines << " error lines, " << outcome.logLines.warningLines
             << " warning lines, " << Number(outcome.seconds, "%.2f") << " s</p>\n";
        if (!outcome.problem.empty()) out_ << "<p class=\"E\">" << Text(outcome.problem) << "</p>\n";

        std::set<long> anchored;
        if (!outcome.findings.empty()) {
            out_ << "<ol class=\"findings\">";
            for (const Finding& finding : outcome.findings) {
                const bool shown = finding.logLine <= LinesShown(outcome);
                if (shown) anchored.insert(finding.logLine);
                out_ << "<li class=\"" << (finding.kind == LogLineClassifier::Kind::Warning ? "W" : "E") << "\">";
                const std::string place = std::string("log line ").append(std::to_string(finding.logLine));
                if (shown) {
                    out_ << "<a href=\"#" << id << "-l" << finding.logLine << "\">" << place << "</a>";
                } else {
                    out_ << place;
                }
                if (finding.programLine) out_ << ", program line " << *finding.programLine;
                out_ << ": " << Xml(outcome.encoding.ToUtf8(finding.text)) << "</li>";
            }
            out_ << "</ol>\n";
        }
        if (!outcome.logFile.empty()) {
            out_ << "<h3>Log</h3>\n<pre class=\"log\">";
            TextFile(outcome.logFile, outcome.encoding, id, &anchored);
            out_ << "</pre>\n";
        }
        if (!outcome.lstFile.empty()) {
            out_ << "<h3>Listing</h3>\n<pre class=\"lst\">";
            TextFile(outcome.lstFile, outcome.encoding, id, nullptr);
            out_ << "</pre>\n";
        }
        out_ << "</details>\n";
    }

    // The lines of the log the page shows: all, unless it is longer than
    // shownBytes. Counted before the log is written so that a finding links
    // only to a line that is there.
    long LinesShown(const ProgramOutcome& outcome) {
        if (outcome.logFile != countedFile_) {
            countedFile_ = outcome.logFile;
            std::error_code ec;
            const auto size = fs::file_size(commandtext::ToPath(outcome.logFile), ec);
            linesShown_ = !ec && size <= shownBytes ? std::numeric_limits<long>::max() : CountShownLines(outcome.logFile, outcome.encoding);
        }
        return linesShown_;
    }

    // Hands `take` the lines of the file up to shownBytes (each line with
    // whether a break ended it), lines counted as the log scan counts them.
    // True when the file was longer.
    static bool ShownLines(const std::string& file, const SessionEncoding& encoding,
                           const std::function<void(std::string_view line, bool broken)>& take) {
        std::size_t bytes = 0;
        bool cut = false;
        report_text::ForEachPiece(file, encoding, [&](std::string_view piece) {
            for (std::size_t start = 0; start < piece.size() && !cut;) {
                std::size_t end = piece.find_first_of("\r\n", start);
                if (end == std::string_view::npos) end = piece.size();
                std::size_t next = end;
                if (next < piece.size()) next += piece.compare(next, 2, "\r\n") == 0 ? 2 : 1;
                if (bytes + (next - start) > shownBytes) {
                    cut = true;
                    break;
                }
                bytes += next - start;
                take(piece.substr(start, end - start), next > end);
                start = next;
            }
        });
        return cut;
    }

    static long CountShownLines(const std::string& file, const SessionEncoding& encoding) {
        long lines = 0;
        ShownLines(file, encoding, [&](std::string_view, bool) { ++lines; });
        return lines;
    }

    // The file's text, each line coloured as SAS's log window does when
    // `anchored` is given (a log), with an id on the lines findings link to.
    void TextFile(const std::string& file, const SessionEncoding& encoding, const std::string& id,
                  const std::set<long>* anchored) {
        long lineNumber = 0;
        std::string html;
        const bool cut = ShownLines(file, encoding, [&](std::string_view line, bool broken) {
            ++lineNumber;
            html.clear();
            const char* kind = anchored ? LineClass(line) : nullptr;
            const bool anchor = anchored && anchored->count(lineNumber) > 0;
            if (kind || anchor) {
                html += "<span";
                if (kind) html.append(" class=\"").append(kind).append("\"");
                if (anchor) html.append(" id=\"").append(id).append("-l").append(std::to_string(lineNumber)).append("\"");
                html += ">";
                report_text::AppendXml(html, line);
                html += "</span>";
            } else {
                report_text::AppendXml(html, line);
            }
            if (broken) html += "\n";
            out_ << html;
        });
        if (!cut) return;
        std::error_code ec;
        const auto size = fs::file_size(commandtext::ToPath(file), ec);
        out_ << "</pre>\n<p>The first " << shownBytes / 1024 << " KiB of " << (ec ? 0 : size / 1024)
             << " KiB are shown";
        if (filesStay_) {
            const std::string link = commandtext::ToUtf8(fs::absolute(commandtext::ToPath(file)).lexically_proximate(folder_).generic_string());
            out_ << "; the whole file: <a href=\"" << UrlPath(link) << "\">" << Text(file) << "</a>";
        }
        out_ << ".</p>\n<pre>";
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

    std::ostream& out_;
    fs::path folder_;
    bool filesStay_;
    std::string countedFile_;
    long linesShown_ = 0;
};

}  // namespace

void WriteHtmlReport(std::ostream& out, const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes,
                     const std::string& reportFile, bool filesStay) {
    HtmlWriter(out, reportFile, filesStay).Page(summary, outcomes);
}

}  // namespace tamberlo::cli
