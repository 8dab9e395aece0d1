#include "host/win32/AnsiPath.h"

#include <windows.h>

#include <climits>

namespace tamberlo::win32 {

namespace {

// The text in the ANSI code page; none when a character has no place in it
// (best-fit look-alikes count as none: they would name another file).
std::optional<std::string> ExactAnsi(const std::wstring& text) {
    if (text.empty()) return std::string();
    if (text.size() > INT_MAX) return std::nullopt;
    const int length = static_cast<int>(text.size());
    // UTF-8 as the ANSI code page holds every character and takes no flags.
    const bool utf8 = ::GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL defaulted = FALSE;
    BOOL* const used = utf8 ? nullptr : &defaulted;
    const int size = ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, used);
    if (size <= 0 || defaulted) return std::nullopt;
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

}  // namespace

std::optional<std::string> AnsiPathOf(const std::wstring& path) {
    if (std::optional<std::string> exact = ExactAnsi(path)) return exact;
    const DWORD needed = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::wstring shortPath(needed, L'\0');
    const DWORD length = ::GetShortPathNameW(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed) return std::nullopt;
    shortPath.resize(length);
    return ExactAnsi(shortPath);
}

char32_t FirstCharacterOutsideAnsi(const std::wstring& text) {
    for (std::size_t at = 0; at < text.size(); ++at) {
        const bool pair = at + 1 < text.size() && IS_HIGH_SURROGATE(text[at]) && IS_LOW_SURROGATE(text[at + 1]);
        const std::wstring character = text.substr(at, pair ? 2 : 1);
        if (!ExactAnsi(character)) {
            return pair ? 0x10000 + ((char32_t{text[at]} - 0xD800) << 10) + (char32_t{text[at + 1]} - 0xDC00)
                        : char32_t{text[at]};
        }
        if (pair) ++at;
    }
    return 0;
}

}  // namespace tamberlo::win32
