#pragma once

#include "cli/LogLineClassifier.h"
#include "cli/LogRules.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// One ERROR or WARNING line of a log (or a line that a rule made one), with
// its place.
struct Finding {
    LogLineClassifier::Kind kind = LogLineClassifier::Kind::Error;
    long logLine = 0;                  // from 1
    std::optional<long> programLine;   // the line of the program file it refers to
    std::string text;                  // as SAS wrote it, without a page's form feed

    bool operator==(const Finding&) const = default;
};

// The counts and findings of a log. The program line of a finding is that
// of the last numbered source line the log echoed before it ("12         foo;"
// at the start of a line), less the lines that Tamberlo wrote ahead of the
// program; a finding before any echoed line of the program itself has none.
class LogFindings {
public:
    // Only the first `kept` findings are kept (all are counted), so that a
    // log of a million warnings costs no more than one of a hundred.
    static constexpr std::size_t DefaultKept = 100;

    static LogFindings Scan(std::string_view log, const LogRules& rules, long preambleLines,
                            std::size_t kept = DefaultKept);

    const LogLineClassifier::Counts& Counts() const noexcept { return counts_; }
    // The ERROR and WARNING lines that an ignore pattern took out.
    const LogLineClassifier::Counts& Ignored() const noexcept { return ignored_; }

    // SAS's exit code as far as the counted lines bear it out: SAS ends with
    // 2 after ERROR lines and 1 after WARNING lines, so when every line of
    // that kind was ignored, the code says no more than the lines left.
    int CountedExitCode(int exitCode) const noexcept;
    const std::vector<Finding>& Findings() const noexcept { return findings_; }

    // "ERROR" or "WARNING"
    static const char* KindText(LogLineClassifier::Kind kind) noexcept;

private:
    LogLineClassifier::Counts counts_;
    LogLineClassifier::Counts ignored_;
    std::vector<Finding> findings_;
};

}  // namespace tamberlo::cli
