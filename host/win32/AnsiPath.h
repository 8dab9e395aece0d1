#pragma once

#include <optional>
#include <string>

namespace tamberlo::win32 {

// The path in the ANSI code page when that holds every character of it,
// else its short (8.3) name when the file exists and the volume keeps one
// that the code page holds; none when neither.
std::optional<std::string> AnsiPathOf(const std::wstring& path);

// The first character of the text that the ANSI code page lacks (0 for none).
char32_t FirstCharacterOutsideAnsi(const std::wstring& text);

}  // namespace tamberlo::win32
