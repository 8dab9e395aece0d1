#pragma once

#include "cli/findings/LogLineClassifier.h"
#include "cli/findings/PatternSet.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace tamberlo::cli {

// A pattern a site added to what counts in a log, with the id its findings
// carry and what it checks for the reports.
struct LogRule {
    std::string id;  // "fail-on-2", NAME of --fail-on NAME=REGEX, "strict-uninitialized"
    std::string pattern;
    std::string description;  // what a matching line means
    std::shared_ptr<const re2::RE2> regex;
};

// What counts in a log, with a site's own rules over SAS's ERROR and
// WARNING lines: a line that matches an ignore pattern counts as nothing
// (the licence warning every run prints), one that matches a fail-on
// pattern counts as an error (a NOTE the site treats as a fault). Ignore
// wins over fail-on. Patterns are in RE2's syntax (no look-around, no
// back-references), searched anywhere in the line's bytes (without a page's
// leading form feed) in time linear in the line whatever the pattern. The
// rules are immutable once made and shared by the threads of a batch.
class LogRules {
public:
    // The NOTEs --strict fails on: uninitialized variables, invalid data,
    // repeats of BY values, values converted, missing values generated, W.D
    // formats too small and MERGE without BY.
    struct StrictRule {
        const char* id;
        const char* pattern;
        const char* description;
    };
    static const std::vector<StrictRule>& StrictRules();

    LogRules() = default;
    // Throws as Ignore and FailOn do; `strict` adds StrictRules.
    LogRules(const std::vector<std::string>& ignore, const std::vector<std::string>& failOn, bool strict);

    // Each throws UsageError naming `option` and the pattern when the
    // pattern is empty or matches the empty string (either would match
    // every line) or is not valid in RE2's syntax, and naming `option` when
    // the patterns of its kind together are too large for PatternSet. A
    // fail-on value "NAME=REGEX", NAME a letter followed by letters, digits,
    // '.', '_' or '-' up to the first '=', gives its findings the id NAME;
    // otherwise they are "fail-on-N", N its position among the fail-on
    // patterns. A NAME that is a built-in id (ERROR, WARNING, SASn-n, a
    // strict rule's, fail-on-N, exit-code, tamberlo-error, time-limit,
    // not-run) or an earlier rule's, in any case, is a UsageError too.
    void Ignore(const std::string& pattern, std::string_view option = "--ignore");
    void FailOn(const std::string& value, std::string_view option = "--fail-on");
    void Strict();

    // Throws UsageError as Ignore does for a pattern that would not do.
    static void CheckPattern(const std::string& pattern, std::string_view option);
    // The REGEX of a fail-on value "NAME=REGEX", else the value.
    static std::string FailOnPattern(const std::string& value);

    bool Empty() const noexcept { return ignore_.Empty() && failOn_.empty(); }
    const std::vector<LogRule>& FailOnRules() const noexcept { return failOn_; }

    // What one line (without its line break) counts as.
    struct Decision {
        LogLineClassifier::Kind kind = LogLineClassifier::Kind::Other;       // as the rules count it
        LogLineClassifier::Kind asWritten = LogLineClassifier::Kind::Other;  // as SAS wrote it
        const LogRule* failOn = nullptr;                                     // the rule that made it an error
        bool ignored = false;                                                // an ignore pattern took it out
    };
    Decision Classify(std::string_view line) const;

private:
    void AddFailOn(const std::string& value, std::string_view option);
    void AddStrict();

    PatternSet ignore_;
    std::vector<LogRule> failOn_;
    PatternSet failOnPatterns_;    // those of failOn_, in its order
    std::size_t failOnGiven_ = 0;  // FailOn calls so far: the next one's position
};

}  // namespace tamberlo::cli
