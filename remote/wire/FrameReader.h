#pragma once

// Reads frames: "<KIND> <LENGTH>\n", then exactly LENGTH bytes. KIND is 1
// to 16 of A-Z and _ and must name a MessageKind; LENGTH is 1 to 10
// decimal digits, at most MaxFrameBytes. A payload is gathered as it
// comes, so a header that promises much and then stops holds no more
// memory than the bytes that came. Not thread-safe: one reader.

#include "remote/wire/BufferedInput.h"
#include "remote/wire/Frame.h"

#include <optional>

namespace tamberlo::remote {

class FrameReader {
public:
    explicit FrameReader(BufferedInput& input) : input_(input) {}

    // The next frame; nullopt when the input ends where a frame would
    // begin. Throws WireError for a header that is malformed, too long,
    // of an unknown kind or cut short, a length over the most, a payload
    // cut short, and a read that fails; the text says which.
    std::optional<Frame> Next();

private:
    BufferedInput& input_;
};

}  // namespace tamberlo::remote
