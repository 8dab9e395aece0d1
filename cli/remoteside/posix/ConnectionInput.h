#pragma once

#include "host/StopSignal.h"
#include "remote/wire/ByteSource.h"

#include <stdexcept>
#include <sys/types.h>

namespace tamberlo::cli {

// The remote side's standard input as the wire reads it. A read waits on
// the input and, beside it, on the interrupt request (Ctrl-C's, SIGTERM's,
// SIGPIPE's, and the one the end of the parent sends through
// PR_SET_PDEATHSIG), on the output (whose reader may close it while nothing
// is written) and on the parent itself, looked at every second: each reads
// as the end of the input, so that the remote side never waits on a
// connection whose other end is gone. Linux: this process ends with its
// parent (sshd's session) whatever ssh does.
class ConnectionInput : public remote::ByteSource {
public:
    // Thrown by Read once Finish was called.
    class Finished : public std::exception {};

    // `input` is read, `output` only watched; neither is owned. Asks the
    // system for SIGTERM when the parent ends (Linux), which the command's
    // interrupt handler takes.
    ConnectionInput(int input, int output);

    std::size_t Read(char* into, std::size_t size) override;

    // Makes a Read that waits, or the next one, throw Finished: the run is
    // over and what the connection brings no longer matters. Any thread.
    void Finish() noexcept { finished_.Request(); }

    // True once the parent this process started under is gone.
    bool ParentGone() const noexcept;

private:
    int fd_;
    int output_;
    pid_t parent_;
    StopSignal finished_;
};

}  // namespace tamberlo::cli
