#pragma once

// What the library, its guard process (host/posix/guard) and the guard's
// reapers say to each other. All are built from one source tree and always
// of one version.
//
// The guard is started as `tamberlo-guard <served process id> <token>`, its
// control socket as descriptor 3 and the link to its first reaper as 4.
//
// The control socket (SOCK_SEQPACKET): one message per request, a Request,
// then what the kind says.
//   NewReaper: [link], one end of a SOCK_SEQPACKET pair: the guard forks a
//     reaper that serves the runs the library sends on the other end.
//   SweepFolders: the path of a temporary folder (absolute, ending in '/')
//     follows the Request in the same message: should the served process
//     die, the guard removes its run folders there, the folders named
//     <FolderPrefix>_<token>_..., once every run has been stopped.
//   Clean: no run folder of the served process is left; sent as it exits,
//     so that the guard sweeps nothing.
//   ParkReaper: [link], the library's end of a free reaper's link, which
//     the library keeps only one of: the guard keeps it for a NewReaper
//     request, whose link it then hands to that reaper instead of forking.
//
// A reaper's link: one message per run, a Request of kind StartRun and its
// descriptors [run channel, stdin, stdout, stderr, current folder]. The
// library sends the next run on a link only once the last one was reaped;
// the reaper ends when the link closes. From a guard that parked the link,
// Relink [new link]: the reaper serves the runs sent on that one from then
// on. The run channel (SOCK_STREAM) then
// carries the program (RunHeader and the texts it counts) and, later, the
// Command bytes; the reaper answers on it with Reports.

#include <cstdint>

namespace tamberlo::guard {

// Where the guard is told its control socket and its first reaper's link are.
inline constexpr int ControlDescriptor = 3;
inline constexpr int FirstLinkDescriptor = 4;

enum class RequestKind : std::uint32_t {
    StartRun = 1,
    NewReaper = 2,
    SweepFolders = 3,
    Clean = 4,
    ParkReaper = 5,
    Relink = 6,
};

struct Request {
    RequestKind kind;
};

inline constexpr int StartRunDescriptors = 5;

// The start of the name of every run folder.
inline constexpr const char* FolderPrefix = "tmpSAS";

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

// From the library on a run channel, one byte each.
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
