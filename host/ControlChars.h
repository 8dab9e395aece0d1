#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tamberlo {

// Every character with a code from 1 to 31, except line feed and carriage
// return, becomes "%" followed by its code in decimal (a tab: "%9").
std::string CleanControlChars(std::string_view text);

// CleanControlChars(text) appended to `to`, written straight into its
// place: a buffer used again, or a report laid out at its final size, is
// filled without a cleaned copy on the way.
void AppendCleanControlChars(std::string& to, std::string_view text);

// True when CleanControlChars would change the text, found without making
// the copy: a caller can then use the text where it is.
bool NeedsCleaning(std::string_view text);

// The length of CleanControlChars(text), counted without making it.
std::size_t CleanedSize(std::string_view text);

// CleanControlChars, and NUL and DEL too ("%0", "%127"): the command's
// cleaned texts, where a NUL would cut a line short and DEL erase one on a
// terminal.
std::string CleanEveryControlChar(std::string_view text);

// CleanEveryControlChar with line feed and carriage return as "%10" and
// "%13" too: a name or a text shown as one line, which nothing in it may
// end early, break or dress up as a line of its own.
std::string AllControlCharsAsCodes(std::string_view text);

}  // namespace tamberlo
