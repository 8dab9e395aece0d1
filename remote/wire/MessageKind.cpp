#include "remote/wire/MessageKind.h"

#include <array>
#include <utility>

namespace tamberlo::remote {

namespace {

constexpr std::array<std::pair<MessageKind, std::string_view>, 15> Names{{
    {MessageKind::Option, "OPTION"},
    {MessageKind::File, "FILE"},
    {MessageKind::Program, "PROGRAM"},
    {MessageKind::Run, "RUN"},
    {MessageKind::Stop, "STOP"},
    {MessageKind::LogPart, "LOGPART"},
    {MessageKind::Log, "LOG"},
    {MessageKind::Listing, "LISTING"},
    {MessageKind::PutFile, "PUTFILE"},
    {MessageKind::Console, "CONSOLE"},
    {MessageKind::ExitCode, "EXITCODE"},
    {MessageKind::Encoding, "ENCODING"},
    {MessageKind::Status, "STATUS"},
    {MessageKind::End, "END"},
    {MessageKind::Error, "ERROR"},
}};

}  // namespace

std::string_view KindName(MessageKind kind) {
    for (const auto& [known, name] : Names) {
        if (known == kind) return name;
    }
    return "?";
}

std::optional<MessageKind> KindFromName(std::string_view name) {
    for (const auto& [kind, known] : Names) {
        if (known == name) return kind;
    }
    return std::nullopt;
}

}  // namespace tamberlo::remote
