#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The component's 8-bit text (the system's ANSI code page) converted for
// the world outside: one source per platform. The command and the
// automation layer both convert through here.
namespace tamberlo::ansi {

// As UTF-8, for JSON. Windows: decoded with the system's ANSI code page (the
// text unchanged should the system refuse). Elsewhere: valid UTF-8 passes
// unchanged, and every other byte stands for the Latin-1 character of the
// same code.
std::string ToUtf8(std::string_view text);

// UTF-16, the automation strings of Windows (Windows only). Every character
// is kept, embedded nulls included; one the code page lacks becomes its
// default character. Failures throw std::bad_alloc or the system's Error.

// The number of UTF-16 units of the text converted.
std::size_t WideLength(std::string_view text);
// Converts into `out`, which holds exactly WideLength(text) units.
void ToWide(std::string_view text, wchar_t* out, std::size_t length);
std::string FromWide(const wchar_t* text, std::size_t length);
// True when every character of the code page is one byte, so that a text's
// UTF-16 length is its length in bytes.
bool SingleByteCodePage();

}  // namespace tamberlo::ansi
