#pragma once

#include "cli/LogLineClassifier.h"

#include <regex>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// What counts in a log, with a site's own rules over SAS's ERROR and
// WARNING lines: a line that matches an ignore pattern counts as nothing
// (the licence warning every run prints), one that matches a fail-on
// pattern counts as an error (a NOTE the site treats as a fault). Ignore
// wins over fail-on. Patterns are ECMAScript regular expressions searched
// anywhere in the line (without a page's leading form feed); only a line's
// first 4096 bytes are searched, which bounds the matcher's work.
class LogRules {
public:
    // The NOTEs --strict fails on: uninitialized variables, invalid data,
    // repeats of BY values, values converted, missing values generated, W.D
    // formats too small and MERGE without BY.
    static const std::vector<std::string>& StrictPatterns();

    LogRules() = default;
    // Throws as Ignore and FailOn do; `strict` adds StrictPatterns.
    LogRules(const std::vector<std::string>& ignore, const std::vector<std::string>& failOn, bool strict);

    // Each throws UsageError naming `option` and the pattern when the
    // pattern is not a valid regular expression.
    void Ignore(const std::string& pattern, std::string_view option = "--ignore");
    void FailOn(const std::string& pattern, std::string_view option = "--fail-on");
    void Strict();

    bool Empty() const noexcept { return ignore_.empty() && failOn_.empty(); }

    // One line, without its line break.
    LogLineClassifier::Kind Classify(std::string_view line) const;

private:
    std::vector<std::regex> ignore_;
    std::vector<std::regex> failOn_;
};

}  // namespace tamberlo::cli
