#include "cli/base/CommandText.h"

#include "host/AnsiText.h"
#include "host/win32/AnsiPath.h"

namespace tamberlo::commandtext {

std::string FromHost(std::string_view hostText) { return ansi::ToUtf8(hostText); }

std::optional<std::string> ToHostPath(std::string_view text) { return win32::AnsiPathOf(ToPath(text).native()); }

std::string ToUtf8(std::string_view text) { return std::string(text); }

}  // namespace tamberlo::commandtext
