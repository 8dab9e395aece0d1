#include "host/StopSignal.h"

#include "host/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tamberlo {

// A pipe that nobody reads: once the request has written its byte the read
// end stays readable for good. Both ends close on exec, so SAS never holds
// them; the write end does not block, so a request can never hang, even one
// made from a signal handler on a full pipe.
StopSignal::StopSignal() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw ErrorFromSystemCode(static_cast<unsigned long>(errno));
    readEnd_ = ends[0];
    writeEnd_ = ends[1];
}

StopSignal::~StopSignal() {
    ::close(readEnd_);
    ::close(writeEnd_);
}

void StopSignal::Request() noexcept {
    const int savedErrno = errno;  // a signal handler must leave errno as it found it
    requested_.store(true);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(writeEnd_, &byte, 1);
    errno = savedErrno;
}

StopSignal::Waitable StopSignal::NativeWaitable() const noexcept { return readEnd_; }

}  // namespace tamberlo
