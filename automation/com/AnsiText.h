#pragma once

#include "automation/com/UniqueBstr.h"
#include "host/SessionEncoding.h"

#include <string>
#include <string_view>

namespace tamberlo::com {

// The boundary between automation strings and the core's 8-bit text, in the
// system's ANSI code page (converted by host/AnsiText.h). Both directions
// keep every character, embedded nulls included; a character the code page
// lacks becomes its default character. They throw std::bad_alloc when
// memory runs out and the system's Error when the conversion itself fails.

// A null BSTR is the empty text.
std::string ToAnsi(BSTR text);
// Never null: the empty text is an empty string, as some clients compare
// the pointer.
UniqueBstr ToBstr(std::string_view text);
// ToBstr(CleanControlChars(text)), without the cleaned copy of the whole
// text: a log of 100 MiB costs its UTF-16 form and a piece of 64 KiB.
UniqueBstr ToCleanedBstr(std::string_view text);

// The same between automation strings and text in a session encoding
// (SAS's files: byte-order mark dropped, every byte the encoding cannot
// decode a U+FFFD) or UTF-8 (the program text the client handed over, the
// debug report).
UniqueBstr ToBstr(std::string_view text, const SessionEncoding& encoding);
UniqueBstr ToCleanedBstr(std::string_view text, const SessionEncoding& encoding);
// UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(BSTR text);

}  // namespace tamberlo::com
