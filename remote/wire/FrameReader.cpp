#include "remote/wire/FrameReader.h"

#include "remote/wire/PrintableBytes.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <algorithm>

namespace tamberlo::remote {

namespace {

constexpr std::size_t MaxLengthDigits = 10;
constexpr std::size_t MaxHeaderBytes = MaxKindLength + 1 + MaxLengthDigits + 1;

// The payload is gathered in steps of this much, so that memory grows
// with the bytes that came, not with the length a header claims.
constexpr std::size_t PayloadStep = 1 << 20;

std::string Quoted(std::string_view bytes) { return "\"" + PrintableBytes(bytes) + "\""; }

bool IsKindChar(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

// The kind and length of a whole header line (its line feed taken off).
std::pair<MessageKind, std::size_t> ParseHeader(std::string_view header) {
    const std::size_t space = header.find(' ');
    const std::string_view name = header.substr(0, space);
    const std::string_view digits = space == std::string_view::npos ? std::string_view{} : header.substr(space + 1);
    const bool kindShaped =
        !name.empty() && name.size() <= MaxKindLength && std::all_of(name.begin(), name.end(), IsKindChar);
    const bool lengthShaped = !digits.empty() && digits.size() <= MaxLengthDigits &&
                              std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!kindShaped || !lengthShaped) {
        throw WireError("frame header " + Quoted(header) +
                        " is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)");
    }
    const std::optional<MessageKind> kind = KindFromName(name);
    if (!kind) throw WireError("frame kind " + Quoted(name) + " is unknown");
    std::size_t length = 0;
    for (const char digit : digits) length = length * 10 + static_cast<std::size_t>(digit - '0');
    if (length > MaxFrameBytes) {
        throw WireError(std::string(name) + " frame of " + std::string(digits) +
                        " bytes is longer than a frame may be (" + std::to_string(MaxFrameBytes) + " bytes)");
    }
    return {*kind, length};
}

}  // namespace

std::optional<Frame> FrameReader::Next() {
    std::string header;
    if (!input_.ReadLine(header, MaxHeaderBytes)) {
        if (header.empty()) return std::nullopt;
        if (header.size() < MaxHeaderBytes) {
            throw WireError("frame header " + Quoted(header) + " is cut short by the end of the input");
        }
        throw WireError("frame header " + Quoted(header) + " has no line end within " + std::to_string(MaxHeaderBytes) +
                        " bytes");
    }
    header.pop_back();
    const auto [kind, length] = ParseHeader(header);
    Frame frame{kind, {}};
    frame.payload.reserve(std::min(length, PayloadStep));
    while (frame.payload.size() < length) {
        const std::size_t step = std::min(length - frame.payload.size(), PayloadStep);
        if (!input_.ReadExactly(frame.payload, step)) {
            throw WireError(std::string(KindName(kind)) +
                            " frame is cut short: " + std::to_string(frame.payload.size()) + " of its " +
                            std::to_string(length) + " bytes came before the end of the input");
        }
    }
    return frame;
}

}  // namespace tamberlo::remote
