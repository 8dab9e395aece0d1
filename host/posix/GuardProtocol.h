#pragma once

// What the library and its guard process (host/posix/guard) say to each
// other. Both are built from one source tree and always of one version.
//
// The control socket (SOCK_SEQPACKET, the guard's descriptor 3): one message
// per request, a Request and the descriptors it names (SCM_RIGHTS).
//   StartRun: [run channel, stdin, stdout, stderr, current folder]; the
//     channel (SOCK_STREAM) then carries the program (RunHeader and the
//     texts it counts) and, later, the Command bytes; the guard answers on
//     it with Reports.
//   GuardFolder: [folder channel]; the folder's path follows the Request in
//     the same message. The library sends FolderReleased on the channel
//     once the run is over and closes it: the folder goes at once. A channel
//     that closes without it (the process that started the run has died,
//     and its run may still be writing there) leaves the folder to the end,
//     when every run has been stopped.

#include <cstdint>

namespace tamberlo::guard {

// Where the guard is told its control socket is.
inline constexpr int ControlDescriptor = 3;

enum class RequestKind : std::uint32_t { StartRun = 1, GuardFolder = 2 };

struct Request {
    RequestKind kind;
};

inline constexpr int StartRunDescriptors = 5;

// From the library on a folder channel, the one byte it carries.
inline constexpr char FolderReleased = 'R';

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

// From the guard on a run channel. At the usual end, when the program
// leaves nothing behind, Ended and AllEnded come in one write: the library
// then closes the channel without a Reap.
enum class ReportKind : std::int32_t {
    Started = 1,     // value: the program's process id
    NotStarted = 2,  // value: errno
    Ended = 3,       // value: the exit code (128 + signal)
    AllEnded = 4,    // nothing of the run runs any more, nor can again
    Reaped = 5,      // value: the exit code; the last report
};

struct Report {
    ReportKind kind;
    std::int32_t value;
};

}  // namespace tamberlo::guard
