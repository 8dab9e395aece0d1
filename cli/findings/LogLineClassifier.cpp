#include "cli/findings/LogLineClassifier.h"

#include "cli/base/LineBreak.h"

namespace tamberlo::cli {
namespace {

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Consumes digits at `pos`; false when there is none.
bool SkipDigits(std::string_view text, std::size_t& pos) noexcept {
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    return pos > start;
}

// "<digits>-<digits>" at `pos`.
bool SkipMessageNumber(std::string_view text, std::size_t& pos) noexcept {
    if (!SkipDigits(text, pos)) return false;
    if (pos >= text.size() || text[pos] != '-') return false;
    ++pos;
    return SkipDigits(text, pos);
}

// What follows the word: ":" or " n-n[, n-n]...:".
bool IsTagEnd(std::string_view rest) noexcept {
    std::size_t pos = 0;
    if (pos < rest.size() && rest[pos] == ':') return true;
    if (pos >= rest.size() || rest[pos] != ' ') return false;
    ++pos;
    if (!SkipMessageNumber(rest, pos)) return false;
    while (pos + 1 < rest.size() && rest[pos] == ',' && rest[pos + 1] == ' ') {
        pos += 2;
        if (!SkipMessageNumber(rest, pos)) return false;
    }
    return pos < rest.size() && rest[pos] == ':';
}

}  // namespace

LogLineClassifier::Kind LogLineClassifier::Classify(std::string_view line) noexcept {
    if (!line.empty() && line.front() == '\f') line.remove_prefix(1);
    constexpr std::string_view error = "ERROR";
    constexpr std::string_view warning = "WARNING";
    if (line.substr(0, error.size()) == error && IsTagEnd(line.substr(error.size()))) return Kind::Error;
    if (line.substr(0, warning.size()) == warning && IsTagEnd(line.substr(warning.size()))) return Kind::Warning;
    return Kind::Other;
}

LogLineClassifier::Counts LogLineClassifier::Count(std::string_view log) noexcept {
    Counts counts;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = NextLineBreak(log, start);
        if (end == std::string_view::npos) end = log.size();
        switch (Classify(log.substr(start, end - start))) {
        case Kind::Error: ++counts.errorLines; break;
        case Kind::Warning: ++counts.warningLines; break;
        case Kind::Other: break;
        }
        const bool crlf = end + 1 < log.size() && log[end] == '\r' && log[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    return counts;
}

}  // namespace tamberlo::cli
