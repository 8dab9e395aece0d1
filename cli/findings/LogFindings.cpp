#include "cli/findings/LogFindings.h"

#include "cli/base/LineBreak.h"
#include "cli/findings/PreambleForms.h"
#include "engine/Engine.h"
#include "engine/MethodErrors.h"
#include "host/StopSignal.h"

#include <algorithm>

namespace tamberlo::cli {
namespace {

// SAS echoes a source line as its number left-aligned in this many columns,
// then the line.
constexpr std::size_t sourceColumn = 11;
// A line submitted by CALL EXECUTE or included has a "+" after the number,
// somewhere from this column on to the source column.
constexpr std::size_t firstPlusColumn = 7;
// The last message SAS writes to a log: its times follow, indented.
constexpr std::string_view closingNote = "NOTE: The SAS System used:";

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

struct EchoLine {
    long number = 0;
    bool submitted = false;   // "+": not a line of the program file
    std::string_view source;  // the line echoed
};

// "12         data _null_;", "5          " (an empty line), "1      + proc sql;".
std::optional<EchoLine> ParseEcho(std::string_view line) noexcept {
    std::size_t pos = 0;
    EchoLine echo;
    while (pos < line.size() && pos < sourceColumn - 1 && IsDigit(line[pos]))
        echo.number = echo.number * 10 + (line[pos++] - '0');
    if (pos == 0 || pos >= line.size() || line[pos] != ' ') return std::nullopt;
    while (pos < line.size() && line[pos] == ' ' && pos < sourceColumn) ++pos;
    if (pos == sourceColumn || pos == line.size()) {
        if (pos == line.size() && pos != sourceColumn) return std::nullopt;
        echo.source = line.substr(pos);
        return echo;
    }
    if (line[pos] == '+' && pos >= firstPlusColumn) {
        echo.submitted = true;
        return echo;
    }
    return std::nullopt;
}

// "SAS180-322" for "ERROR 180-322: ..." (the first number of several),
// else the word.
std::string RuleIdOf(std::string_view line, LogLineClassifier::Kind kind) {
    const std::string word = LogFindings::KindText(kind);
    if (!line.empty() && line.front() == '\f') line.remove_prefix(1);
    std::size_t pos = word.size();
    if (pos >= line.size() || line[pos] != ' ') return word;
    const std::size_t end = line.find_first_of(",:", ++pos);
    if (end == std::string_view::npos) return word;
    return "SAS" + std::string(line.substr(pos, end - pos));
}

// Appends `text`, keeping `to` within LogFindings::MaxTextBytes; a cut
// backs off over UTF-8 continuation bytes so as not to split a character,
// and ends in "...".
void AppendBounded(std::string& to, std::string_view text) {
    constexpr std::size_t limit = LogFindings::MaxTextBytes;
    if (to.size() >= limit) return;
    if (to.size() + text.size() <= limit) {
        to.append(text);
        return;
    }
    constexpr std::string_view ellipsis = "...";
    std::size_t cut = limit - ellipsis.size() - std::min(to.size(), limit - ellipsis.size());
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    to.append(text.substr(0, cut)).append(ellipsis);
    to.resize(std::min(to.size(), limit));
}

// Appends to an included file's name, which each finding in the file
// copies: a log that goes on and on is not allowed to make it grow without
// bound (kept at MaxTextBytes, as a finding's text).
void AppendName(std::string& name, std::string_view more) {
    constexpr std::size_t limit = LogFindings::MaxTextBytes;
    name.append(more.substr(0, limit - std::min(name.size(), limit)));
}

bool IsContinuation(std::string_view line) noexcept {
    return !line.empty() && line.front() == ' ' && line.find_first_not_of(' ') != std::string_view::npos;
}

std::string_view TrimmedLeft(std::string_view line) noexcept { return line.substr(line.find_first_not_of(' ')); }

}  // namespace

const char* LogFindings::KindText(LogLineClassifier::Kind kind) noexcept {
    return kind == LogLineClassifier::Kind::Warning ? "WARNING" : "ERROR";
}

LogFindings::LogFindings(const LogRules& rules, long preambleLines, const StopSignal* stop, std::size_t keptPerKind)
    : rules_(&rules), preambleLines_(preambleLines), stop_(stop), keptPerKind_(keptPerKind) {}

LogFindings LogFindings::Scan(std::string_view log, const LogRules& rules, long preambleLines, const StopSignal* stop,
                              std::size_t keptPerKind) {
    LogFindings findings(rules, preambleLines, stop, keptPerKind);
    findings.Feed(log);
    findings.Finish();
    return findings;
}

void LogFindings::Feed(std::string_view piece) {
    std::size_t pos = 0;
    if (afterCarriageReturn_ && !piece.empty() && piece.front() == '\n') pos = 1;
    afterCarriageReturn_ = false;
    while (pos < piece.size()) {
        // Looked at before every line, which the patterns search in
        // well under the time a stop may take.
        if (stop_ != nullptr && stop_->IsRequested()) {
            throw RunStopped(ComponentErrorNumber, ExecuteSource,
                             "The log was not read to its end: stopped on request.");
        }
        const std::size_t end = NextLineBreak(piece, pos);
        const std::size_t stop = end == std::string_view::npos ? piece.size() : end;
        if (end != std::string_view::npos && line_.empty()) {
            // A whole line within the piece: read where it stands.
            TakeLine(piece.substr(pos, std::min(stop - pos, MaxLineBytes)));
        } else {
            if (line_.size() < MaxLineBytes)
                line_.append(piece.substr(pos, std::min(stop - pos, MaxLineBytes - line_.size())));
            if (end == std::string_view::npos) break;
            TakeLine(line_);
            line_.clear();
        }
        pos = end + 1;
        if (piece[end] == '\r') {
            if (pos == piece.size()) {
                afterCarriageReturn_ = true;
            } else if (piece[pos] == '\n') {
                ++pos;
            }
        }
    }
}

void LogFindings::FindPreamble(long programLeading) { programLeading_ = programLeading; }

void LogFindings::Finish() {
    if (!line_.empty()) TakeLine(line_);
    line_.clear();
    if (programLeading_) EndPreamble();
}

void LogFindings::TakeLine(std::string_view line) {
    ++lineNumber_;
    // A message starts in the line's first column; the closing NOTE's times
    // follow it indented, and blank lines or a page's form feed end the log.
    const std::string_view message = !line.empty() && line.front() == '\f' ? line.substr(1) : line;
    if (!message.empty() && message.front() != ' ') closed_ = message == closingNote;
    if (continued_ != Continued::Nothing && IsContinuation(line)) {
        if (continued_ == Continued::IncludeNote) {
            std::string_view more = TrimmedLeft(line);
            if (more.back() == '.') {
                more.remove_suffix(1);
                continued_ = Continued::Nothing;
            }
            AppendName(includes_.back().file, more);
        } else if (open_) {
            std::string& text = findings_[*open_].text;
            AppendBounded(text, " ");
            AppendBounded(text, TrimmedLeft(line));
        }
        return;
    }
    continued_ = Continued::Nothing;
    open_.reset();
    if (const std::optional<EchoLine> echo = ParseEcho(line)) {
        Echo(echo->number, echo->submitted, echo->source);
        return;
    }
    if (IncludeNote(line)) return;

    const LogRules::Decision decision = rules_->Classify(line);
    if (decision.asWritten != LogLineClassifier::Kind::Other || decision.failOn != nullptr)
        continued_ = Continued::Finding;
    if (decision.ignored) {
        if (decision.asWritten == LogLineClassifier::Kind::Error) ++ignored_.errorLines;
        if (decision.asWritten == LogLineClassifier::Kind::Warning) ++ignored_.warningLines;
        return;
    }
    if (decision.kind == LogLineClassifier::Kind::Other) return;
    ++(decision.kind == LogLineClassifier::Kind::Error ? counts_.errorLines : counts_.warningLines);
    if (decision.asWritten == LogLineClassifier::Kind::Error) ++written_.errorLines;
    if (decision.asWritten == LogLineClassifier::Kind::Warning) ++written_.warningLines;
    AddFinding(line, decision);
}

void LogFindings::Echo(long number, bool submitted, std::string_view source) {
    if (programLeading_) {
        if (!submitted && number == formsEchoed_ + 1 && PreambleForms::Matches(source)) {
            formsEchoed_ = number;
            return;
        }
        EndPreamble();
    }
    if (!submitted) {
        // Back in the program: SAS has left every included file.
        includes_.clear();
        programLine_.reset();
        // Included lines were numbered on: the program's lines after them
        // come that many later.
        const long line = number - preambleLines_ - includedLines_;
        if (line > 0) programLine_ = line;
    } else if (!includes_.empty()) {
        ++includes_.back().line;
        ++includedLines_;
    }
}

void LogFindings::EndPreamble() {
    preambleLines_ = std::max(0L, formsEchoed_ - *programLeading_);
    programLeading_.reset();
    for (std::size_t i = 0; i < echoBeforeFinding_.size(); ++i) {
        const long line = echoBeforeFinding_[i] - preambleLines_;
        if (line > 0) findings_[i].programLine = line;
    }
    echoBeforeFinding_.clear();
    echoBeforeFinding_.shrink_to_fit();
}

// "NOTE: %INCLUDE (level 1) file X is file /path/inc.sas." and
// "NOTE: %INCLUDE (level 1) ending.": false for any other line.
bool LogFindings::IncludeNote(std::string_view line) {
    constexpr std::string_view head = "NOTE: %INCLUDE (level ";
    if (line.substr(0, head.size()) != head) return false;
    std::size_t pos = head.size();
    std::size_t level = 0;
    while (pos < line.size() && IsDigit(line[pos]) && level < 1000)
        level = level * 10 + static_cast<std::size_t>(line[pos++] - '0');
    if (level == 0 || line.substr(pos, 2) != ") ") return false;
    const std::string_view rest = line.substr(pos + 2);
    if (rest.substr(0, 6) == "ending") {
        if (includes_.size() >= level) includes_.resize(level - 1);
        return true;
    }
    constexpr std::string_view isFile = " is file ";
    const std::size_t named = rest.find(isFile);
    if (rest.substr(0, 5) != "file " || named == std::string_view::npos) return false;
    if (includes_.size() >= level) includes_.resize(level - 1);
    std::string_view name = rest.substr(named + isFile.size());
    // A long path goes on in indented lines; the sentence ends in a period.
    if (!name.empty() && name.back() == '.') {
        name.remove_suffix(1);
    } else {
        continued_ = Continued::IncludeNote;
    }
    std::string file;
    AppendName(file, name);
    includes_.push_back({std::move(file), 0});
    return true;
}

void LogFindings::AddFinding(std::string_view line, const LogRules::Decision& decision) {
    // ERROR lines, WARNING lines and lines rules made errors are kept apart,
    // so that no kind crowds out another.
    const std::size_t kind = decision.asWritten == LogLineClassifier::Kind::Error ? 0
                             : decision.failOn == nullptr                         ? 1
                                                                                  : 2;
    if (kept_[kind] >= keptPerKind_) return;
    ++kept_[kind];
    Finding finding;
    finding.kind = decision.kind;
    finding.ruleId = kind == 2 ? decision.failOn->id : RuleIdOf(line, decision.asWritten);
    finding.logLine = lineNumber_;
    if (!includes_.empty()) {
        finding.includedFile = includes_.back().file;
        if (includes_.back().line > 0) finding.programLine = includes_.back().line;
    } else {
        finding.programLine = programLine_;
    }
    AppendBounded(finding.text, line.substr(!line.empty() && line.front() == '\f' ? 1 : 0));
    findings_.push_back(std::move(finding));
    if (programLeading_) echoBeforeFinding_.push_back(formsEchoed_);
    open_ = findings_.size() - 1;
}

int LogFindings::CountedExitCode(int exitCode, std::string_view console) const noexcept {
    const bool quiet = console.find_first_not_of(" \t\r\n") == std::string_view::npos;
    if (!closed_ || !quiet) return exitCode;
    if (exitCode == 1 && ignored_.warningLines > 0 && written_.warningLines == 0) return 0;
    if (exitCode == 2 && ignored_.errorLines > 0 && written_.errorLines == 0) return 0;
    return exitCode;
}

Verdict LogFindings::VerdictFor(std::optional<int> sasExitCode, std::string_view console) const noexcept {
    // A negative code is a Windows status such as 0xC0000005: a crash.
    const Verdict ofCode = VerdictOfExitCode(CountedExitCode(sasExitCode.value_or(0), console));
    const Verdict ofLines = counts_.errorLines > 0     ? Verdict::Failed
                            : counts_.warningLines > 0 ? Verdict::Warnings
                                                       : Verdict::Clean;
    return std::max(ofCode, ofLines);
}

}  // namespace tamberlo::cli
