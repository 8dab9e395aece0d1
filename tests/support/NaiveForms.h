#pragma once

// The plain, obviously right forms of the fast paths, shared by the unit
// tests and the fuzzers (which compare the fast path with them on any input).
// Header only and free of GoogleTest, so that the fuzzers can include it.

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace tamberlo::test::naive {

// CleanControlChars: thirty replacements over the whole text, one per code
// 1 to 31 but line feed and carriage return, each by "%" and its number.
inline std::string ThirtyReplacements(std::string text) {
    for (int code = 1; code <= 31; ++code) {
        if (code == 10 || code == 13) continue;
        const std::string from(1, static_cast<char>(code));
        const std::string to = "%" + std::to_string(code);
        for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
            text.replace(at, 1, to);
    }
    return text;
}

// The text with its ASCII letters upper-cased, other bytes as they are.
inline std::string UpperCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c < 128 ? static_cast<char>(std::toupper(c)) : static_cast<char>(c); });
    return text;
}

// The put-file scan: 9999 substring searches over the upper-cased text.
inline std::vector<int> NineThousandSearches(const std::string& program) {
    const std::string upper = UpperCase(program);
    std::vector<int> numbers;
    for (int n = 1; n <= 9999; ++n)
        if (upper.find("_PUT" + std::to_string(n)) != std::string::npos) numbers.push_back(n);
    return numbers;
}

// The put-file scan as a walk: from each "_PUT" of the upper-cased text, the
// numbers its following digits spell, up to four digits, when the first is
// not 0; ascending. The same answer as NineThousandSearches, cheaper on
// large input.
inline std::vector<int> NumbersAfterEachMention(const std::string& program) {
    const std::string upper = UpperCase(program);
    std::vector<bool> found(10000);
    for (std::size_t at = 0; (at = upper.find("_PUT", at)) != std::string::npos; ++at) {
        int number = 0;
        for (std::size_t digit = at + 4; digit < upper.size() && digit < at + 8; ++digit) {
            const char c = upper[digit];
            if (c < '0' || c > '9' || (digit == at + 4 && c == '0')) break;
            number = number * 10 + (c - '0');
            found[static_cast<std::size_t>(number)] = true;
        }
    }
    std::vector<int> numbers;
    for (int n = 1; n <= 9999; ++n)
        if (found[static_cast<std::size_t>(n)]) numbers.push_back(n);
    return numbers;
}

// Whether a value given as program code names a file: no CR LF pair anywhere
// and ".SAS" as its last four characters in any case.
inline bool NamesProgramFile(const std::string& value) {
    return value.find("\r\n") == std::string::npos && value.size() >= 4 &&
           UpperCase(value.substr(value.size() - 4)) == ".SAS";
}

// Quotes one argument so that the C run-time rules of Windows give it back
// unchanged, built from its end: a backslash is doubled exactly when only
// backslashes stand between it and a quotation mark (an escaped one of the
// argument or the closing one), since only there do backslashes escape;
// each quotation mark of the argument is escaped with one more backslash.
inline std::string QuoteArgument(const std::string& arg) {
    std::string reversed = "\"";  // the closing quotation mark
    bool beforeQuote = true;
    for (auto c = arg.rbegin(); c != arg.rend(); ++c) {
        if (*c == '\\') {
            reversed += beforeQuote ? "\\\\" : "\\";
        } else if (*c == '"') {
            reversed += "\"\\";  // \" read forwards
            beforeQuote = true;
        } else {
            reversed += *c;
            beforeQuote = false;
        }
    }
    reversed += '"';
    return std::string(reversed.rbegin(), reversed.rend());
}

}  // namespace tamberlo::test::naive
