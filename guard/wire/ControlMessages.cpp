#include "guard/wire/ControlMessages.h"

#include "guard/wire/Framing.h"
#include "guard/wire/MessageKinds.h"

#include <cstring>
#include <string_view>

namespace tamberlo::guard {

std::string ControlRefusal(const char* message, std::size_t size, bool oversized, std::size_t descriptors) {
    if (oversized)
        return "it is longer than any request (more than " + std::to_string(MaxControlMessage) + " bytes or " +
               std::to_string(MaxPassedDescriptors) + " descriptors)";
    ControlRequest request{};
    if (size < sizeof request) return "it is shorter than a request" + MessageShape(size, descriptors);
    std::memcpy(&request, message, sizeof request);
    const auto kind = static_cast<std::uint32_t>(request.kind);
    const char* name = MessageKindName(kind);
    if (name == nullptr) return "its kind " + std::to_string(kind) + " is no request's";
    const std::string_view rest(message + sizeof request, size - sizeof request);
    switch (request.kind) {
    case ControlKind::NewReaper:
    case ControlKind::ParkReaper:
        if (rest.empty() && descriptors == 1) return {};
        return std::string("a ") + name + " request is one link and nothing else" + MessageShape(size, descriptors);
    case ControlKind::Clean:
        if (rest.empty() && descriptors == 0) return {};
        return "a Clean request is nothing but its kind" + MessageShape(size, descriptors);
    case ControlKind::SweepFolders:
        if (descriptors == 0 && rest.size() > 1 && rest.front() == '/' && rest.back() == '/' &&
            rest.find('\0') == std::string_view::npos)
            return {};
        return "a SweepFolders request names an absolute folder ending in '/' and passes nothing" +
               MessageShape(size, descriptors);
    }
    return std::string("a ") + name + " request belongs on a reaper's link, not on the control socket";
}

std::string SweepRequest(const std::string& folder) {
    const ControlRequest request{ControlKind::SweepFolders};
    return std::string(reinterpret_cast<const char*>(&request), sizeof request) + folder;
}

}  // namespace tamberlo::guard
