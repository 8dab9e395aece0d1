#include "cli/base/CommandText.h"

#include "host/AnsiText.h"

namespace tamberlo::commandtext {

std::string FromHost(std::string_view hostText) { return std::string(hostText); }

std::optional<std::string> ToHostPath(std::string_view text) { return std::string(text); }

std::string ToUtf8(std::string_view text) { return ansi::ToUtf8(text); }

}  // namespace tamberlo::commandtext
