#include "cli/LogFindings.h"

namespace tamberlo::cli {
namespace {

// The number of an echoed source line: digits at the very start of the
// line, then a blank. A page's first line (form feed, page number) is none.
std::optional<long> SourceLineNumber(std::string_view line) noexcept {
    long number = 0;
    std::size_t pos = 0;
    while (pos < line.size() && pos < 9 && line[pos] >= '0' && line[pos] <= '9') {
        number = number * 10 + (line[pos] - '0');
        ++pos;
    }
    if (pos == 0 || pos >= line.size() || line[pos] != ' ') return std::nullopt;
    return number;
}

}  // namespace

const char* LogFindings::KindText(LogLineClassifier::Kind kind) noexcept {
    return kind == LogLineClassifier::Kind::Warning ? "WARNING" : "ERROR";
}

int LogFindings::CountedExitCode(int exitCode) const noexcept {
    if (exitCode >= 2 && counts_.errorLines == 0 && ignored_.errorLines > 0) exitCode = counts_.warningLines > 0 ? 1 : 0;
    if (exitCode == 1 && counts_.warningLines == 0 && ignored_.warningLines > 0) exitCode = 0;
    return exitCode;
}

LogFindings LogFindings::Scan(std::string_view log, const LogRules& rules, long preambleLines, std::size_t kept) {
    LogFindings scan;
    std::optional<long> lastSource;
    long lineNumber = 0;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = log.size();
        const std::string_view line = log.substr(start, end - start);
        ++lineNumber;
        if (const std::optional<long> source = SourceLineNumber(line)) {
            lastSource = source;
        } else if (const LogLineClassifier::Kind kind = rules.Classify(line); kind == LogLineClassifier::Kind::Other) {
            switch (LogLineClassifier::Classify(line)) {
            case LogLineClassifier::Kind::Error: ++scan.ignored_.errorLines; break;
            case LogLineClassifier::Kind::Warning: ++scan.ignored_.warningLines; break;
            case LogLineClassifier::Kind::Other: break;
            }
        } else {
            ++(kind == LogLineClassifier::Kind::Error ? scan.counts_.errorLines : scan.counts_.warningLines);
            if (scan.findings_.size() < kept) {
                Finding finding;
                finding.kind = kind;
                finding.logLine = lineNumber;
                if (lastSource && *lastSource > preambleLines) finding.programLine = *lastSource - preambleLines;
                finding.text = line.substr(!line.empty() && line.front() == '\f' ? 1 : 0);
                scan.findings_.push_back(std::move(finding));
            }
        }
        const bool crlf = end + 1 < log.size() && log[end] == '\r' && log[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    return scan;
}

}  // namespace tamberlo::cli
