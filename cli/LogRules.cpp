#include "cli/LogRules.h"

#include "cli/UsageError.h"

#include <re2/re2.h>

namespace tamberlo::cli {
namespace {

constexpr const char* syntaxNote = "RE2's syntax: no look-around, no back-references";

// Logs are matched as bytes, whatever their encoding: a pattern's bytes
// stand for themselves.
std::shared_ptr<const re2::RE2> Compile(const std::string& pattern, std::string_view option) {
    if (pattern.empty()) {
        throw UsageError(std::string(option) +
                         ": an empty pattern would match every line; give a regular expression (" + syntaxNote + ")");
    }
    re2::RE2::Options options;
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_log_errors(false);
    auto regex = std::make_shared<const re2::RE2>(pattern, options);
    if (!regex->ok()) {
        throw UsageError(std::string(option) + " " + pattern + ": not a valid regular expression (" + syntaxNote +
                         "): " + regex->error());
    }
    return regex;
}

bool IsNameCharacter(char c, bool first) {
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
}

// The length of NAME in "NAME=REGEX", or 0.
std::size_t NameLength(std::string_view value) {
    const std::size_t equals = value.find('=');
    if (equals == std::string_view::npos || equals == 0) return 0;
    for (std::size_t i = 0; i < equals; ++i) {
        if (!IsNameCharacter(value[i], i == 0)) return 0;
    }
    return equals;
}

}  // namespace

const std::vector<LogRules::StrictRule>& LogRules::StrictRules() {
    static const std::vector<StrictRule> rules{
        {"strict-uninitialized", R"(^NOTE: Variable .+ is uninitialized\.)",
         "a variable is used before it has a value"},
        {"strict-invalid-data", R"(^NOTE: Invalid (data|numeric data|argument))",
         "input data or a function argument is invalid"},
        {"strict-by-repeats", R"(^NOTE: MERGE statement has more than one data set with repeats of BY values)",
         "a MERGE meets repeats of BY values in more than one data set"},
        {"strict-converted", R"(^NOTE: (Character|Numeric) values have been converted to)",
         "values were converted between character and numeric"},
        {"strict-missing-values", R"(^NOTE: Missing values were generated)",
         "an operation on missing values generated missing values"},
        {"strict-format-too-small", R"(^NOTE: At least one W\.D format was too small)",
         "a W.D format was too small for a value"},
        {"strict-merge-no-by", R"(No BY statement was specified for a MERGE statement)", "a MERGE has no BY statement"},
    };
    return rules;
}

LogRules::LogRules(const std::vector<std::string>& ignore, const std::vector<std::string>& failOn, bool strict) {
    for (const std::string& pattern : ignore) Ignore(pattern);
    for (const std::string& value : failOn) FailOn(value);
    if (strict) Strict();
}

std::string LogRules::FailOnPattern(const std::string& value) {
    const std::size_t nameLength = NameLength(value);
    return nameLength > 0 ? value.substr(nameLength + 1) : value;
}

void LogRules::CheckPattern(const std::string& pattern, std::string_view option) { Compile(pattern, option); }

void LogRules::Ignore(const std::string& pattern, std::string_view option) { ignore_.Add(Compile(pattern, option)); }

void LogRules::FailOn(const std::string& value, std::string_view option) {
    const std::size_t nameLength = NameLength(value);
    LogRule rule;
    rule.pattern = FailOnPattern(value);
    rule.regex = Compile(rule.pattern, option);
    ++failOnGiven_;
    rule.id = nameLength > 0 ? value.substr(0, nameLength) : "fail-on-" + std::to_string(failOnGiven_);
    rule.description = "a line matching " + rule.pattern + " (" + std::string(option) + ")";
    failOnPatterns_.Add(rule.regex);
    failOn_.push_back(std::move(rule));
}

void LogRules::Strict() {
    for (const StrictRule& strict : StrictRules()) {
        failOn_.push_back(LogRule{strict.id, strict.pattern, strict.description, Compile(strict.pattern, "--strict")});
        failOnPatterns_.Add(failOn_.back().regex);
    }
}

LogRules::Decision LogRules::Classify(std::string_view line) const {
    Decision decision;
    decision.asWritten = LogLineClassifier::Classify(line);
    decision.kind = decision.asWritten;
    if (Empty()) return decision;
    if (!line.empty() && line.front() == '\f') line.remove_prefix(1);
    if (const std::optional<std::size_t> first = failOnPatterns_.FirstMatch(line)) {
        decision.kind = LogLineClassifier::Kind::Error;
        decision.failOn = &failOn_[*first];
    }
    if (decision.kind == LogLineClassifier::Kind::Other) return decision;
    if (ignore_.FirstMatch(line)) {
        decision.kind = LogLineClassifier::Kind::Other;
        decision.failOn = nullptr;
        decision.ignored = true;
    }
    return decision;
}

}  // namespace tamberlo::cli
