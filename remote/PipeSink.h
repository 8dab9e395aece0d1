#pragma once

// A ByteSink writing one end of a pipe (a process's standard output, the
// pipe to ssh). It does not own the pipe: the caller closes it.

#include "remote/NativePipe.h"
#include "remote/wire/ByteSink.h"

namespace tamberlo::remote {

class PipeSink : public ByteSink {
public:
    explicit PipeSink(NativePipe pipe) : pipe_(pipe) {}

    // A reader that is gone is a WireError ("Broken pipe"), never SIGPIPE:
    // the signal is held back for the write and a pending one taken.
    void Write(const char* data, std::size_t size) override;

private:
    NativePipe pipe_;
};

}  // namespace tamberlo::remote
