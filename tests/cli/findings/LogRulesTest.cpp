// The site's rules for a log (--ignore, --fail-on): RE2 patterns, refused
// when they cannot do what they say, searched together as each alone.

#include "cli/base/UsageError.h"
#include "cli/findings/LogFindings.h"
#include "cli/findings/LogRules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using tamberlo::cli::LogFindings;
using tamberlo::cli::LogRules;

TEST(LogRules, TakesRE2PatternsInLinearTime) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"",
         "--ignore: an empty pattern would match every line; give a regular expression (RE2's syntax: no "
         "look-around, no back-references)"},
        {"(?=x)",
         "--ignore (?=x): not a valid regular expression (RE2's syntax: no look-around, no "
         "back-references): invalid perl operator: (?="},
    };
    for (const auto& [pattern, message] : refused) {
        try {
            LogRules().Ignore(pattern);
            ADD_FAILURE() << pattern;
        } catch (const tamberlo::cli::UsageError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
    // Patterns that make a backtracking matcher run for minutes on a line
    // of 60 characters (bench/ measures the time).
    const LogRules rules({R"(^WARNING: (\w+\s?)+expire)", "(a+)+$"}, {}, false);
    const std::string line = "WARNING: " + std::string(100000, 'a') + "!";
    EXPECT_EQ(LogFindings::Scan(line, rules, 0).Counts().warningLines, 1);
}

// Patterns searched together find what each would find alone, the first
// given winning: anchored or not, plain text or not.
TEST(LogRules, FindsWhatEachPatternFindsAlone) {
    const LogRules rules(
        {"^WARNING: gone", "y$"},
        {"^NOTE: a|tail", "^NOTE: b", R"(in WORK\.X)", "lit", "^(p|q)r", R"(^\Q(\E|zz)", "^[|(]|yy", "(?i)^note: c"},
        false);
    const std::vector<std::pair<std::string, std::string>> cases{
        {"x tail", "fail-on-1"},
        {"NOTE: a", "fail-on-1"},
        {"\fNOTE: b lit", "fail-on-2"},
        {"lit NOTE: b", "fail-on-4"},
        {"in WORKaX", ""},
        {"say in WORK.X", "fail-on-3"},
        {"pr", "fail-on-5"},
        {"xpr", ""},
        {"x zz", "fail-on-6"},
        {"(", "fail-on-6"},
        {"x yy z", "fail-on-7"},
        {"|", "fail-on-7"},
        {"NOTE: C", "fail-on-8"},
        {"WARNING: gone", ""},
        {"WARNING: it is y", ""},
        {"WARNING: y?", "WARNING"},
    };
    for (const auto& [line, id] : cases) {
        const LogFindings scan = LogFindings::Scan(line, rules, 0);
        EXPECT_EQ(scan.Findings().empty() ? "" : scan.Findings().front().ruleId, id) << line;
    }
}
