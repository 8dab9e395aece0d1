#pragma once

#include <csignal>
#include <sys/signalfd.h>

namespace tamberlo::guard {

// Blocks SIGCHLD and SIGTERM and returns a descriptor (non-blocking, closed
// on exec) that reads them instead, so that one poll waits for a child, the
// end and the caller's own descriptors at once; -1 when the system refuses.
inline int WatchChildrenAndTermination() {
    sigset_t watched;
    sigemptyset(&watched);
    sigaddset(&watched, SIGCHLD);
    sigaddset(&watched, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &watched, nullptr);
    return ::signalfd(-1, &watched, SFD_NONBLOCK | SFD_CLOEXEC);
}

}  // namespace tamberlo::guard
