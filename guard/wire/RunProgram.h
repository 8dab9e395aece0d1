#pragma once

// The program of a run as a run channel carries it (wire/ReaperMessages.h):
// written by the library, read by the reaper that starts it.

#include "guard/wire/Framing.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamberlo::guard {

struct RunProgram {
    std::uint32_t gracePeriodMs = 0;
    std::vector<std::string> arguments;
    std::vector<std::string> candidates;  // the files execve is tried on, in order
    std::vector<std::string> environment;
};

// The header and the texts; empty when the whole would be longer than
// MaxProgramBytes.
std::string EncodeProgram(const RunProgram& program);

enum class ProgramRead {
    Taken,
    Closed,     // the channel closed (or failed) before the program was whole
    TooLong,    // the header counts more than MaxProgramBytes; nothing more was read
    Malformed,  // the texts do not add up to what the header counts
};

// Reads one program off `channel`, the header and then, in one read, the
// bytes it counts; `wait` as for ReadExactly (Closed when it gives up).
ProgramRead ReadProgram(int channel, RunProgram& program, WaitReadable wait, void* context);

}  // namespace tamberlo::guard
