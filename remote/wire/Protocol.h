#pragma once

// The numbers both ends of a remote run agree on: the protocol's version
// and the limits that keep a malformed or hostile peer from making either
// end hang or hold unbounded memory.

#include <cstddef>

namespace tamberlo::remote {

// The protocol this build speaks. A change that an older peer would
// misread takes the next number.
inline constexpr int ProtocolVersion = 1;

// The most one frame carries (1 GiB).
inline constexpr std::size_t MaxFrameBytes = std::size_t{1} << 30;

// The most a kind's name has: 1 to 16 of A-Z and _.
inline constexpr std::size_t MaxKindLength = 16;

// The most that may come before the greeting (a login script's noise).
inline constexpr std::size_t MaxGreetingNoise = 64 * 1024;

}  // namespace tamberlo::remote
