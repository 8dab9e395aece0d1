#include "cli/batch/BatchProgress.h"

#include "cli/base/Console.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>

namespace tamberlo::cli {
namespace {

bool WentThrough(ProgramOutcome::Verdict verdict) {
    return verdict == ProgramOutcome::Verdict::Clean || verdict == ProgramOutcome::Verdict::Warnings;
}

// True for the East Asian wide and full-width characters, which a terminal
// shows two columns wide (Hangul, CJK, kana, full-width forms).
bool IsWide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// The columns a name takes on the terminal: a UTF-8 sequence is one
// character, one column or two, any other byte one column.
std::size_t Columns(std::string_view name) {
    std::size_t columns = 0;
    for (std::size_t at = 0; at < name.size();) {
        const std::size_t length = utf8::SequenceLength(name, at);
        columns += length > 0 && IsWide(utf8::Decode(name, at, length)) ? 2 : 1;
        at += std::max<std::size_t>(1, length);
    }
    return columns;
}

std::string ExitCodeText(const ProgramOutcome& outcome) {
    return outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "-";
}

}  // namespace

BatchProgress::BatchProgress(std::FILE* out, bool terminal, std::size_t programs)
    : out_(out), terminal_(terminal), programs_(programs), started_(std::chrono::steady_clock::now()) {}

void BatchProgress::Flush() noexcept {
    // A stream that failed before keeps its error flag, though its flush may succeed.
    if ((std::fflush(out_) != 0 || std::ferror(out_) != 0) && writeError_ == 0) writeError_ = errno != 0 ? errno : EIO;
}

double BatchProgress::ElapsedSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

void BatchProgress::Ended(const ProgramOutcome& outcome) {
    ++done_;
    if (!WentThrough(outcome.verdict)) ++failed_;
    if (terminal_) return;
    const std::string exitCode = outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "none";
    std::fprintf(out_, "%-10s %s (SAS exit code %s, %ld error lines, %ld warning lines, %.2f s)\n",
                 VerdictText(outcome.verdict),
                 console::ForTerminal(AllControlCharsAsCodes(outcome.program.name)).c_str(), exitCode.c_str(),
                 outcome.logLines.errorLines, outcome.logLines.warningLines, outcome.seconds);
    Flush();
}

void BatchProgress::Show(std::size_t running) {
    if (!terminal_) return;
    char line[160];
    const int length = std::snprintf(line, sizeof line, "%zu/%zu done, %zu running, %zu failed, %.1f s", done_,
                                     programs_, running, failed_, ElapsedSeconds());
    // Blanks over what is left of a longer line before (no escape sequences:
    // not every console knows them).
    std::fprintf(out_, "\r%s%*s", line, std::max(0, statusLength_ - length), "");
    statusLength_ = length;
    Flush();
}

void BatchProgress::Finish(const OutcomeSequence& outcomes, bool interrupted) {
    if (terminal_) {
        std::fprintf(out_, "\r%*s\r", statusLength_, "");
        // A name is shown on one line: a line break or an escape sequence
        // in a file's name must not forge or move what the table says.
        const auto shown = [](const ProgramOutcome& outcome) { return AllControlCharsAsCodes(outcome.program.name); };
        std::size_t nameWidth = 7;  // "program"
        for (const ProgramOutcome& outcome : outcomes) nameWidth = std::max(nameWidth, Columns(shown(outcome)));
        std::fprintf(out_, "%-*s  %-10s  %4s  %6s  %8s  %8s\n", static_cast<int>(nameWidth), "program", "verdict",
                     "exit", "errors", "warnings", "time");
        for (const ProgramOutcome& outcome : outcomes) {
            const std::string name = shown(outcome);
            // Padded by characters: printf would pad by bytes.
            std::fprintf(out_, "%s%*s  %-10s  %4s  %6ld  %8ld  %6.2f s\n", console::ForTerminal(name).c_str(),
                         static_cast<int>(nameWidth - Columns(name)), "", VerdictText(outcome.verdict),
                         ExitCodeText(outcome).c_str(), outcome.logLines.errorLines, outcome.logLines.warningLines,
                         outcome.seconds);
        }
    }

    bool headed = false;
    std::size_t counts[6] = {};  // by verdict
    const SessionEncoding terminal = SessionEncoding::Terminal();
    for (const ProgramOutcome& outcome : outcomes) {
        ++counts[static_cast<int>(outcome.verdict)];
        if (WentThrough(outcome.verdict)) continue;
        if (!headed) std::fputs("\n", out_);
        headed = true;
        // The log's line decoded from its session and written in the
        // terminal's encoding; as stored where the terminal lacks a
        // character. Its control characters, and those of the names in it,
        // are shown as codes: an ESC must not move the cursor, a NUL cut
        // the line short nor a line break forge a line of its own.
        const std::string first = AllControlCharsAsCodes(
            terminal.FromUtf8Or(outcome.FirstProblemLineUtf8(), AllControlCharsAsCodes(outcome.FirstProblemLine())));
        std::fprintf(out_, "%s\n", first.c_str());
    }

    std::fprintf(out_,
                 "\n%zu of %zu programs: %zu clean, %zu warnings, %zu failed, %zu errors, %zu time limits; %.1f s%s\n",
                 outcomes.size(), programs_, counts[0], counts[1], counts[2], counts[3], counts[4], ElapsedSeconds(),
                 interrupted ? " (interrupted)" : "");
    Flush();
}

}  // namespace tamberlo::cli
