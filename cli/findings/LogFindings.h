#pragma once

#include "cli/findings/LogLineClassifier.h"
#include "cli/findings/LogRules.h"
#include "cli/findings/Verdict.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {
class StopSignal;
}

namespace tamberlo::cli {

// One ERROR or WARNING message of a log (or a line that a rule made one),
// with its place.
struct Finding {
    LogLineClassifier::Kind kind = LogLineClassifier::Kind::Error;
    // SAS's message number ("SAS180-322" for "ERROR 180-322:"), else "ERROR"
    // or "WARNING"; for a line a fail-on or strict rule made an error, the
    // rule's id.
    std::string ruleId;
    long logLine = 0;  // of the message's first line, from 1
    // The line of the program file it refers to, or of `includedFile`.
    std::optional<long> programLine;
    std::string includedFile;  // the %INCLUDE file it is in, as the log names it; empty: the program
    // As SAS wrote it (without a page's form feed), its indented
    // continuation lines joined on with one blank each; at most
    // LogFindings::MaxTextBytes.
    std::string text;

    bool operator==(const Finding&) const = default;
};

// Decides what a log says: its counts, its findings and, with SAS's exit
// code, the run's verdict. The one place both forms of the command and
// every report take them from.
//
// The program line of a finding is that of the last source line the log
// echoed before it, in SAS's echo form (the line number, then blanks to
// the source column: "12         foo;"), less the lines that Tamberlo wrote
// ahead of the program; a line that merely starts with digits is no echo.
// Lines numbered with a "+" after the number ("1      + proc sql;") are
// not lines of the program file: code that CALL EXECUTE submitted (its
// findings keep the program line of the step that submitted it) or, inside
// "NOTE: %INCLUDE (level N) file X is file PATH." ... "NOTE: %INCLUDE
// (level N) ending.", the lines of an included file (SOURCE2), whose
// findings name that file and their line in it, nested includes too. SAS
// numbers included lines on, so the program's lines after an include are
// echoed with numbers larger by the included lines.
//
// A log can be fed a piece at a time, in constant memory: of a line only
// the first MaxLineBytes are looked at.
class LogFindings {
public:
    // Kept of each kind (ERROR lines, WARNING lines, lines rules made
    // errors); all are counted, so that a log of a million warnings costs
    // no more than one of a hundred.
    static constexpr std::size_t KeptPerKind = 100;
    static constexpr std::size_t MaxTextBytes = 1024;
    static constexpr std::size_t MaxLineBytes = 1 << 20;

    // `stop`, when given, is looked at as the log is read: once requested,
    // Feed and Scan throw RunStopped within a fraction of a second.
    LogFindings(const LogRules& rules, long preambleLines, const StopSignal* stop = nullptr,
                std::size_t keptPerKind = KeptPerKind);

    // For a log whose preamble is not known (one Tamberlo wrote before,
    // read again by `tamberlo scan`): the first echoed lines, numbered from
    // 1 on, that have the preamble's forms (PreambleForms), less the
    // `programLeading` lines of those forms that the program itself starts
    // with, are taken for the preamble. Call before the first Feed.
    void FindPreamble(long programLeading);

    // The next piece of the log; a line may go on in the next piece. Lines
    // end in LF, CR LF or a lone CR.
    void Feed(std::string_view piece);
    // The end of the log: a last line without a line break counts.
    void Finish();

    // A whole log at once.
    static LogFindings Scan(std::string_view log, const LogRules& rules, long preambleLines,
                            const StopSignal* stop = nullptr, std::size_t keptPerKind = KeptPerKind);

    const LogLineClassifier::Counts& Counts() const noexcept { return counts_; }
    // The ERROR and WARNING lines that an ignore pattern took out.
    const LogLineClassifier::Counts& Ignored() const noexcept { return ignored_; }
    // Those kept, in log order.
    const std::vector<Finding>& Findings() const noexcept { return findings_; }

    // SAS's closing NOTE ("NOTE: The SAS System used:") is the log's last
    // message: SAS wrote the log to its end. A log cut short (by a full
    // disk, say) may lack any line after the cut.
    bool Whole() const noexcept { return closed_; }

    // SAS's exit code as far as the counted lines bear it out: SAS ends with
    // 1 after WARNING lines and 2 after ERROR lines, so 1 is set aside when
    // every WARNING line SAS wrote was ignored, and 2 when every ERROR line
    // was, provided the log is Whole and SAS wrote nothing on its console
    // (`console`, where SAS says that it could not write a file): only then
    // are the lines known to be all there are. Any other code (3 and more:
    // %ABORT, a crash, a signal) counts.
    int CountedExitCode(int exitCode, std::string_view console = {}) const noexcept;

    // Failed with an ERROR line counted or a counted exit code of 2 or more,
    // Warnings with a WARNING line or 1, else Clean. No exit code: SAS did
    // not end by itself (the lines decide).
    Verdict VerdictFor(std::optional<int> sasExitCode, std::string_view console = {}) const noexcept;

    // "ERROR" or "WARNING"
    static const char* KindText(LogLineClassifier::Kind kind) noexcept;

private:
    struct Included {
        std::string file;
        long line = 0;  // of the last line echoed from it
    };
    enum class Continued { Nothing, Finding, IncludeNote };

    void TakeLine(std::string_view line);
    void Echo(long number, bool submitted, std::string_view source);
    // The preamble's forms have ended: the program lines of the findings
    // so far are set.
    void EndPreamble();
    bool IncludeNote(std::string_view line);
    void AddFinding(std::string_view line, const LogRules::Decision& decision);

    const LogRules* rules_;
    long preambleLines_;
    // While the preamble is looked for: the program's own leading lines of
    // its forms, the echoed lines of them so far, and for each finding so
    // far, the number of the last echoed line before it.
    std::optional<long> programLeading_;
    long formsEchoed_ = 0;
    std::vector<long> echoBeforeFinding_;
    const StopSignal* stop_;
    std::size_t keptPerKind_;

    LogLineClassifier::Counts counts_;
    LogLineClassifier::Counts ignored_;
    LogLineClassifier::Counts written_;  // lines SAS wrote as ERROR or WARNING that were not ignored
    std::size_t kept_[3] = {};           // findings kept of each kind
    std::vector<Finding> findings_;

    std::string line_;                  // the line being read, up to MaxLineBytes
    bool afterCarriageReturn_ = false;  // a piece ended in CR: a LF starting the next ends no line
    long lineNumber_ = 0;
    std::optional<long> programLine_;
    std::vector<Included> includes_;
    long includedLines_ = 0;  // echoed lines of included files so far
    Continued continued_ = Continued::Nothing;
    std::optional<std::size_t> open_;  // the kept finding continuation lines go to
    bool closed_ = false;              // the last message so far is SAS's closing NOTE
};

}  // namespace tamberlo::cli
