#pragma once

// A reaper's link and the run channels sent on it: what the library and a
// reaper of its guard (executable/RunReaper.h) say about runs.
//
// The link (SOCK_SEQPACKET): one message per run, a LinkRequest of kind
// StartRun and its descriptors [run channel, stdin, stdout, stderr, current
// folder]. The library sends the next run on a link only once the last one
// was reaped; the reaper ends when the link closes. From a guard that
// parked the link, Relink [new link]: the reaper serves the runs sent on
// that one from then on. A message that is not one of these, whole, is
// refused: the reaper says why on its standard error (LinkRefusal), closes
// what came with it and waits for the next.
//
// The other way, from the guard only: NoReaper and the errno of the fork
// that failed, when the guard could not make the reaper of a NewReaper
// request (the system refused a process); the guard then closes the link,
// and the run the library sent on it, if any, goes unanswered. The library
// reads it to say why the run was not started.
//
// The run channel (SOCK_STREAM) then carries the program (RunHeader and the
// texts it counts, wire/RunProgram.h) and, later, the Command bytes; the
// reaper answers on it with Reports. A program that cannot be taken is
// answered with NotStarted: E2BIG when it is longer than MaxProgramBytes,
// EPROTO when its texts do not add up to its header.

#include "guard/wire/Framing.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tamberlo::guard {

// Apart from the control socket's kinds (ControlKind).
enum class LinkKind : std::uint32_t {
    StartRun = 1,
    Relink = 6,
    NoReaper = 7,
};

struct LinkRequest {
    LinkKind kind;
};

struct NoReaperMessage {
    LinkKind kind;  // NoReaper
    std::int32_t error;
};

inline constexpr int StartRunDescriptors = 5;
static_assert(StartRunDescriptors <= MaxPassedDescriptors);

// Why a reaper refuses a message on its link (as ControlRefusal); empty
// when it is one of the requests above, whole.
std::string LinkRefusal(const char* message, std::size_t size, bool oversized, std::size_t descriptors);

// Ahead of the texts on a run channel; each text is its length (uint32) and
// its bytes: the arguments, then the files execve is tried on, then the
// environment. `bytes` counts all that follows the header, so that the
// reaper takes the program in one read.
struct RunHeader {
    std::uint32_t bytes;
    std::uint32_t gracePeriodMs;
    std::uint32_t arguments;
    std::uint32_t candidates;
    std::uint32_t environment;
};

// More than the system passes to a program (Linux's execve takes a quarter
// of the stack limit and never more than 6 MiB of arguments and
// environment): a longer program is refused before the reaper takes memory
// for it.
inline constexpr std::uint32_t MaxProgramBytes = 8U << 20;

// From the library on a run channel, one byte each; any other byte is
// refused (said on the reaper's standard error) and passed over.
enum class Command : char {
    Terminate = 'T',  // SIGTERM to every process of the run
    Reap = 'K',       // SIGKILL to what is left, then Reaped
};

// From the reaper on a run channel. A start that succeeds is not reported,
// so that the library waits once, for the end. At the usual end, when the
// program leaves nothing behind, Ended and AllEnded come in one write: the
// library then closes the channel without a Reap.
enum class ReportKind : std::int32_t {
    NotStarted = 2,  // value: errno; the channel closes after it
    Ended = 3,       // value: the exit code (128 + signal)
    AllEnded = 4,    // nothing of the run runs any more, nor can again
    Reaped = 5,      // value: the exit code; the last report
};

struct Report {
    ReportKind kind;
    std::int32_t value;
};

}  // namespace tamberlo::guard
