#pragma once

// The line the remote side writes before anything else:
//   TAMBERLO-REMOTE <protocol> <tamberlo version>\n
// and the search for it on this side, past whatever a login script wrote
// first (at most MaxGreetingNoise bytes of it).

#include "remote/wire/BufferedInput.h"

#include <string>
#include <string_view>

namespace tamberlo::remote {

// The greeting's text, line feed included.
std::string GreetingLine(int protocol, std::string_view version);

struct GreetingSearch {
    // False when the input ended before a greeting came: what stands at
    // the other end is no remote side (not installed, an old tamberlo).
    bool found = false;
    int protocol = 0;
    std::string version;
    // The lines that came before it (or before the end), as they came.
    std::string noise;
};

// Reads lines until the greeting. Throws WireError for a line that begins
// as the greeting but is no greeting (the text says what came), and when
// more than MaxGreetingNoise bytes come before it.
GreetingSearch AwaitGreeting(BufferedInput& input);

}  // namespace tamberlo::remote
