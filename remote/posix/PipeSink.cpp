#include "remote/PipeSink.h"

#include "remote/wire/WireError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace tamberlo::remote {

namespace {

// Holds SIGPIPE back in this thread while it lives; a SIGPIPE that the
// writes raised (and that was not pending before) is taken on the way out,
// so that it never reaches the process.
class HeldSigpipe {
public:
    HeldSigpipe() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~HeldSigpipe() {
        if (raised_ && !wasPending_) {
            const timespec none{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {}
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    HeldSigpipe(const HeldSigpipe&) = delete;
    HeldSigpipe& operator=(const HeldSigpipe&) = delete;

    void Raised() { raised_ = true; }

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool wasPending_ = false;
    bool raised_ = false;
};

}  // namespace

void PipeSink::Write(const char* data, std::size_t size) {
    HeldSigpipe held;
    while (size > 0) {
        const ssize_t written = ::write(pipe_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) {
            const int error = errno;
            if (error == EPIPE) held.Raised();
            throw WireError(std::string("could not write the output: ") + std::strerror(error));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace tamberlo::remote
