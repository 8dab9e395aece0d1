#pragma once

// Bytes a peer sent, made fit to quote in a message on one line: printable
// ASCII stays, everything else (control characters, line ends, bytes of
// 128 and more) becomes \xHH, a backslash \\; at most `limit` bytes are
// shown, then "...".

#include <cstddef>
#include <string>
#include <string_view>

namespace tamberlo::remote {

std::string PrintableBytes(std::string_view bytes, std::size_t limit = 64);

}  // namespace tamberlo::remote
