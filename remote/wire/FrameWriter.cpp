#include "remote/wire/FrameWriter.h"

#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <string>

namespace tamberlo::remote {

namespace {
// A payload up to this size goes out with its header in one write.
constexpr std::size_t JoinedPayloadBytes = 64 * 1024;
}  // namespace

void FrameWriter::Send(MessageKind kind, std::string_view payload) {
    if (payload.size() > MaxFrameBytes) {
        throw WireError(std::string(KindName(kind)) + " of " + std::to_string(payload.size()) +
                        " bytes is longer than a frame may be (" + std::to_string(MaxFrameBytes) + " bytes)");
    }
    std::string header(KindName(kind));
    header += ' ';
    header += std::to_string(payload.size());
    header += '\n';
    const std::lock_guard<std::mutex> lock(mutex_);
    if (broken_) throw WireError("the output was closed by an earlier failure");
    try {
        if (payload.size() <= JoinedPayloadBytes) {
            header += payload;
            sink_.Write(header.data(), header.size());
        } else {
            sink_.Write(header.data(), header.size());
            sink_.Write(payload.data(), payload.size());
        }
    } catch (...) {
        broken_ = true;
        throw;
    }
}

void FrameWriter::SendRaw(std::string_view bytes) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (broken_) throw WireError("the output was closed by an earlier failure");
    try {
        sink_.Write(bytes.data(), bytes.size());
    } catch (...) {
        broken_ = true;
        throw;
    }
}

}  // namespace tamberlo::remote
