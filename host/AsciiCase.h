#pragma once

#include <string>
#include <string_view>

namespace tamberlo {

// `text` with its ASCII letters in upper case and every other byte as it
// is, whatever the locale: SAS names (options, encodings, macro variables)
// and Windows device names compare so.
inline std::string AsciiUpper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

// `c` in lower case when it is an ASCII letter, else as it is, whatever
// the locale.
inline char AsciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `text` with its ASCII letters in lower case and every other byte as it is.
inline std::string AsciiLower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = AsciiLower(c);
    return lower;
}

}  // namespace tamberlo
