#pragma once

// What the refusals of the guard's SOCK_SEQPACKET channels say of a message:
// the name of every kind of request (the control socket's and the reaper
// link's, whose numbers are apart, so that a refusal can say what came on
// the wrong one) and its size.

#include "guard/wire/ControlMessages.h"
#include "guard/wire/ReaperMessages.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tamberlo::guard {

// Null for a number that is no kind.
inline const char* MessageKindName(std::uint32_t kind) {
    switch (kind) {
    case static_cast<std::uint32_t>(LinkKind::StartRun): return "StartRun";
    case static_cast<std::uint32_t>(ControlKind::NewReaper): return "NewReaper";
    case static_cast<std::uint32_t>(ControlKind::SweepFolders): return "SweepFolders";
    case static_cast<std::uint32_t>(ControlKind::Clean): return "Clean";
    case static_cast<std::uint32_t>(ControlKind::ParkReaper): return "ParkReaper";
    case static_cast<std::uint32_t>(LinkKind::Relink): return "Relink";
    case static_cast<std::uint32_t>(LinkKind::NoReaper): return "NoReaper";
    default: return nullptr;
    }
}

// " (4 bytes, 1 descriptor)": what a refused message was.
inline std::string MessageShape(std::size_t size, std::size_t descriptors) {
    return " (" + std::to_string(size) + (size == 1 ? " byte, " : " bytes, ") + std::to_string(descriptors) +
           (descriptors == 1 ? " descriptor)" : " descriptors)");
}

}  // namespace tamberlo::guard
