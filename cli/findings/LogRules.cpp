#include "cli/findings/LogRules.h"

#include "cli/base/UsageError.h"

#include "host/AsciiCase.h"

#include <re2/re2.h>

#include <algorithm>
#include <stdexcept>

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
    options.set_max_mem(PatternSet::AutomatonMemory);
    auto regex = std::make_shared<const re2::RE2>(pattern, options);
    if (!regex->ok()) {
        throw UsageError(std::string(option) + " " + pattern + ": not a valid regular expression (" + syntaxNote +
                         "): " + regex->error());
    }
    // "^", "x?", "()", "^$X" with X unset: a pattern that a line without a
    // character matches is found in every line.
    if (re2::RE2::PartialMatch("", *regex)) {
        throw UsageError(std::string(option) + " " + pattern +
                         ": the pattern matches the empty string, and so every line; give a regular expression "
                         "that needs at least one character (" +
                         syntaxNote + ")");
    }
    return regex;
}

// Builds `patterns`' automata, saying which option gave them when they are
// too large.
void CompileSet(PatternSet& patterns, std::string_view option) {
    try {
        patterns.Compile();
    } catch (const std::length_error& error) {
        throw UsageError(std::string(option) + ": " + error.what());
    }
}

// The ids the findings and reports give of themselves: SAS's lines and
// message numbers, the --strict rules, the unnamed --fail-on rules and what
// fails a program without a finding.
bool IsBuiltInId(std::string_view name) {
    const std::string upper = AsciiUpper(name);
    for (const char* id : {"ERROR", "WARNING", "EXIT-CODE", "TAMBERLO-ERROR", "TIME-LIMIT", "NOT-RUN"}) {
        if (upper == id) return true;
    }
    for (const LogRules::StrictRule& strict : LogRules::StrictRules()) {
        if (upper == AsciiUpper(strict.id)) return true;
    }
    const auto numbered = [&upper](std::string_view head) {
        return upper.size() > head.size() && upper.compare(0, head.size(), head) == 0 && upper[head.size()] >= '0' &&
               upper[head.size()] <= '9';
    };
    return numbered("SAS") || numbered("FAIL-ON-");
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
    // Each set's automata are built once, with all its patterns.
    for (const std::string& pattern : ignore) ignore_.Add(Compile(pattern, "--ignore"));
    for (const std::string& value : failOn) AddFailOn(value, "--fail-on");
    if (strict) AddStrict();
    CompileSet(ignore_, "--ignore");
    CompileSet(failOnPatterns_, "--fail-on");
}

std::string LogRules::FailOnPattern(const std::string& value) {
    const std::size_t nameLength = NameLength(value);
    return nameLength > 0 ? value.substr(nameLength + 1) : value;
}

void LogRules::CheckPattern(const std::string& pattern, std::string_view option) { Compile(pattern, option); }

void LogRules::Ignore(const std::string& pattern, std::string_view option) {
    ignore_.Add(Compile(pattern, option));
    CompileSet(ignore_, option);
}

void LogRules::FailOn(const std::string& value, std::string_view option) {
    AddFailOn(value, option);
    CompileSet(failOnPatterns_, option);
}

void LogRules::Strict() {
    AddStrict();
    CompileSet(failOnPatterns_, "--strict");
}

void LogRules::AddFailOn(const std::string& value, std::string_view option) {
    const std::size_t nameLength = NameLength(value);
    LogRule rule;
    rule.pattern = FailOnPattern(value);
    if (nameLength > 0) {
        // A finding is told by its rule's id in every report: two rules of
        // one id would be one rule there.
        rule.id = value.substr(0, nameLength);
        const std::string given = std::string(option) + " " + value + ": ";
        if (IsBuiltInId(rule.id)) {
            throw UsageError(given + "the name " + rule.id +
                             " is a built-in rule's id; give the rule a name of its own");
        }
        const auto same = [&rule](const LogRule& other) { return AsciiUpper(other.id) == AsciiUpper(rule.id); };
        if (std::any_of(failOn_.begin(), failOn_.end(), same)) {
            throw UsageError(given + "the name " + rule.id + " is given to another rule; give each its own");
        }
    }
    rule.regex = Compile(rule.pattern, option);
    ++failOnGiven_;
    if (nameLength == 0) rule.id = "fail-on-" + std::to_string(failOnGiven_);
    rule.description = "a line matching " + rule.pattern + " (" + std::string(option) + ")";
    failOnPatterns_.Add(rule.regex);
    failOn_.push_back(std::move(rule));
}

void LogRules::AddStrict() {
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
