#pragma once

// Where a reader's bytes come from: a pipe, or bytes in memory in a test.

#include <cstddef>

namespace tamberlo::remote {

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Reads at most `size` bytes into `into`; returns how many, 0 once the
    // other end has closed. Throws WireError when the read fails.
    virtual std::size_t Read(char* into, std::size_t size) = 0;
};

}  // namespace tamberlo::remote
