#pragma once

// A ByteSource read through a buffer, so that lines (the greeting, a
// frame's header) can be taken a byte at a time without a system call per
// byte, and payloads straight after them. Not thread-safe: one reader.

#include "remote/wire/ByteSource.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tamberlo::remote {

class BufferedInput {
public:
    explicit BufferedInput(ByteSource& source);

    // Appends bytes to `line` up to and including the next line feed, or
    // until `line` holds `limit` bytes. Returns true when the line feed was
    // taken (it ends `line`); false when the limit was reached first or the
    // input ended (then `line` holds what came).
    bool ReadLine(std::string& line, std::size_t limit);

    // Appends exactly `size` bytes to `into`; false when the input ended
    // first (then `into` holds what came).
    bool ReadExactly(std::string& into, std::size_t size);

    // True once the source has said it ended and the buffer is empty.
    bool AtEnd();

private:
    // Refills an empty buffer; false once the source has ended.
    bool Fill();

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
};

}  // namespace tamberlo::remote
