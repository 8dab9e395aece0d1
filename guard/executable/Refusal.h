#pragma once

// How the guard and its reapers say that they refused a message: one line
// on their standard error, "tamberlo-guard: <channel>: refused a message:
// <why>". The library starts the guard with the null device there; a
// developer or the wire test that starts it otherwise reads the line.

#include <string>
#include <unistd.h>

namespace tamberlo::guard {

inline void SayRefused(const char* channel, const std::string& why) {
    const std::string line = std::string("tamberlo-guard: ") + channel + ": refused a message: " + why + "\n";
    // Nothing more to do should the write fail: the message is refused anyway.
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
}

}  // namespace tamberlo::guard
