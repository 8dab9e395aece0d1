#include "guard/wire/ReaperMessages.h"

#include "guard/wire/Framing.h"
#include "guard/wire/MessageKinds.h"

#include <cstring>

namespace tamberlo::guard {

std::string LinkRefusal(const char* message, std::size_t size, bool oversized, std::size_t descriptors) {
    const std::string shape = MessageShape(size, descriptors);
    if (oversized)
        return "it is longer than any request (more than " + std::to_string(sizeof(LinkRequest)) + " bytes or " +
               std::to_string(MaxPassedDescriptors) + " descriptors)";
    LinkRequest request{};
    if (size < sizeof request) return "it is shorter than a request" + shape;
    std::memcpy(&request, message, sizeof request);
    const auto kind = static_cast<std::uint32_t>(request.kind);
    const char* name = MessageKindName(kind);
    if (name == nullptr) return "its kind " + std::to_string(kind) + " is no request's";
    switch (request.kind) {
    case LinkKind::StartRun:
        if (size == sizeof request && descriptors == StartRunDescriptors) return {};
        return "a StartRun request is its kind and " + std::to_string(StartRunDescriptors) + " descriptors" + shape;
    case LinkKind::Relink:
        if (size == sizeof request && descriptors == 1) return {};
        return "a Relink request is its kind and one link" + shape;
    case LinkKind::NoReaper: return "a NoReaper message goes from the guard to the library, not to a reaper";
    }
    return std::string("a ") + name + " request belongs on the control socket, not on a reaper's link";
}

}  // namespace tamberlo::guard
