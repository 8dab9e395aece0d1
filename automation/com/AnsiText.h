#pragma once

#include "automation/com/UniqueBstr.h"

#include <string>

namespace tamberlo::com {

// The boundary between automation strings and the core's 8-bit text, in the
// system's ANSI code page. Both directions keep every character, embedded
// nulls included; a character the code page lacks becomes its default
// character. They throw std::bad_alloc when memory runs out and ComFailure
// when the conversion itself fails.

// A null BSTR is the empty text.
std::string ToAnsi(BSTR text);
UniqueBstr ToBstr(const std::string& text);

}  // namespace tamberlo::com
