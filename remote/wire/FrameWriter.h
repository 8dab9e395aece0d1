#pragma once

// Writes frames ("<KIND> <LENGTH>\n" and the payload) to a ByteSink.
// Thread-safe: a frame is written whole before another begins, so that a
// thread streaming the log and the thread that answers never interleave.

#include "remote/wire/ByteSink.h"
#include "remote/wire/MessageKind.h"

#include <mutex>
#include <string_view>

namespace tamberlo::remote {

class FrameWriter {
public:
    explicit FrameWriter(ByteSink& sink) : sink_(sink) {}

    // Writes one frame. Throws WireError for a payload longer than
    // MaxFrameBytes (nothing is written) and when the sink fails; after a
    // failure every later Send throws too, so that no frame follows a
    // part of one.
    void Send(MessageKind kind, std::string_view payload = {});

    // Writes bytes outside any frame (the greeting).
    void SendRaw(std::string_view bytes);

private:
    ByteSink& sink_;
    std::mutex mutex_;
    bool broken_ = false;
};

}  // namespace tamberlo::remote
