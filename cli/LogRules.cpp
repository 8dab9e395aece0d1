#include "cli/LogRules.h"

#include "cli/UsageError.h"

namespace tamberlo::cli {
namespace {

constexpr std::size_t searchedBytes = 4096;

std::regex Compile(const std::string& pattern, std::string_view option) {
    try {
        return std::regex(pattern, std::regex::ECMAScript | std::regex::optimize);
    } catch (const std::regex_error& error) {
        throw UsageError(std::string(option) + " " + pattern + ": not a valid regular expression: " + error.what());
    }
}

bool AnyMatches(const std::vector<std::regex>& patterns, std::string_view line) {
    for (const std::regex& pattern : patterns) {
        if (std::regex_search(line.begin(), line.end(), pattern)) return true;
    }
    return false;
}

}  // namespace

const std::vector<std::string>& LogRules::StrictPatterns() {
    static const std::vector<std::string> patterns{
        R"(^NOTE: Variable .+ is uninitialized\.)",
        R"(^NOTE: Invalid (data|numeric data|argument))",
        R"(^NOTE: MERGE statement has more than one data set with repeats of BY values)",
        R"(^NOTE: (Character|Numeric) values have been converted to)",
        R"(^NOTE: Missing values were generated)",
        R"(^NOTE: At least one W\.D format was too small)",
        R"(No BY statement was specified for a MERGE statement)",
    };
    return patterns;
}

LogRules::LogRules(const std::vector<std::string>& ignore, const std::vector<std::string>& failOn, bool strict) {
    for (const std::string& pattern : ignore) Ignore(pattern);
    for (const std::string& pattern : failOn) FailOn(pattern);
    if (strict) Strict();
}

void LogRules::Ignore(const std::string& pattern, std::string_view option) {
    ignore_.push_back(Compile(pattern, option));
}

void LogRules::FailOn(const std::string& pattern, std::string_view option) {
    failOn_.push_back(Compile(pattern, option));
}

void LogRules::Strict() {
    for (const std::string& pattern : StrictPatterns()) FailOn(pattern, "--strict");
}

LogLineClassifier::Kind LogRules::Classify(std::string_view line) const {
    const LogLineClassifier::Kind kind = LogLineClassifier::Classify(line);
    if (Empty()) return kind;
    if (!line.empty() && line.front() == '\f') line.remove_prefix(1);
    line = line.substr(0, searchedBytes);
    if (AnyMatches(ignore_, line)) return LogLineClassifier::Kind::Other;
    if (AnyMatches(failOn_, line)) return LogLineClassifier::Kind::Error;
    return kind;
}

}  // namespace tamberlo::cli
