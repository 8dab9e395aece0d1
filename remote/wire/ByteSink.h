#pragma once

// Where a writer's bytes go: a pipe, or a string in a test.

#include <cstddef>

namespace tamberlo::remote {

class ByteSink {
public:
    virtual ~ByteSink() = default;

    // Writes all `size` bytes. Throws WireError when that fails (the other
    // end gone included); never raises SIGPIPE.
    virtual void Write(const char* data, std::size_t size) = 0;
};

}  // namespace tamberlo::remote
