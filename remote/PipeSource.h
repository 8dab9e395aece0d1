#pragma once

// A ByteSource reading one end of a pipe (a process's standard input, the
// pipe from ssh). It does not own the pipe: the caller closes it.

#include "remote/NativePipe.h"
#include "remote/wire/ByteSource.h"

namespace tamberlo::remote {

class PipeSource : public ByteSource {
public:
    explicit PipeSource(NativePipe pipe) : pipe_(pipe) {}

    // Goes on after EINTR; a pipe whose writer is gone reads as its end.
    std::size_t Read(char* into, std::size_t size) override;

private:
    NativePipe pipe_;
};

}  // namespace tamberlo::remote
