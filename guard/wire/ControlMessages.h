#pragma once

// The guard's control socket: what the library asks of its guard
// (executable/Guard.h). The guard is started as
// `tamberlo-guard <served process id> <token>`, its control socket as
// descriptor 3 and the link to its first reaper as 4 (wire/ReaperMessages.h).
//
// SOCK_SEQPACKET, library to guard only: one message per request, a
// ControlRequest, then what its kind says.
//   NewReaper: [link], one end of a SOCK_SEQPACKET pair: the guard forks a
//     reaper that serves the runs the library sends on the other end.
//   SweepFolders: the path of a temporary folder (absolute, ending in '/')
//     follows the request in the same message: should the served process
//     die, the guard removes its run folders there, the folders named
//     <FolderPrefix>_<token>_..., once every run has been stopped.
//   Clean: no run folder of the served process is left; sent as it exits,
//     so that the guard sweeps nothing.
//   ParkReaper: [link], the library's end of a free reaper's link, which
//     the library keeps only one of: the guard keeps it for a NewReaper
//     request, whose link it then hands to that reaper instead of forking.
// The guard never answers: readable means it has gone. A message that is
// not one of these, whole, is refused: the guard says why on its standard
// error (ControlRefusal), closes what came with it and serves on.

#include <cstddef>
#include <cstdint>
#include <string>

namespace tamberlo::guard {

// Where the guard is told its control socket and its first reaper's link are.
inline constexpr int ControlDescriptor = 3;
inline constexpr int FirstLinkDescriptor = 4;

// The start of the name of every run folder.
inline constexpr const char* FolderPrefix = "tmpSAS";

// Apart from the reaper link's kinds (LinkKind), so that a message sent on
// the wrong channel is known for one.
enum class ControlKind : std::uint32_t {
    NewReaper = 2,
    SweepFolders = 3,
    Clean = 4,
    ParkReaper = 5,
};

struct ControlRequest {
    ControlKind kind;
};

// The longest folder a SweepFolders request names, and so the longest request.
inline constexpr std::size_t MaxFolderPath = 4096;
inline constexpr std::size_t MaxControlMessage = sizeof(ControlRequest) + MaxFolderPath;

// Why the guard refuses a control message of `size` bytes and `descriptors`
// descriptors (`oversized`: it was longer than MaxControlMessage, or came
// with more descriptors than any message passes); empty when it is one of
// the requests above, whole.
std::string ControlRefusal(const char* message, std::size_t size, bool oversized, std::size_t descriptors);

// The message that asks for `folder` to be swept.
std::string SweepRequest(const std::string& folder);

}  // namespace tamberlo::guard
