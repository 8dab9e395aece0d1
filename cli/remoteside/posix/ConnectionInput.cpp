#include "cli/remoteside/posix/ConnectionInput.h"

#include "cli/base/Console.h"
#include "remote/wire/WireError.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace tamberlo::cli {

namespace {
// How often a wait looks whether the parent is still there.
constexpr int ParentLookMilliseconds = 1000;
}  // namespace

ConnectionInput::ConnectionInput(int input, int output) : fd_(input), output_(output), parent_(::getppid()) {
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
}

bool ConnectionInput::ParentGone() const noexcept { return ::getppid() != parent_; }

std::size_t ConnectionInput::Read(char* into, std::size_t size) {
    for (;;) {
        if (finished_.IsRequested()) throw Finished();
        if (console::InterruptRequested() || ParentGone()) return 0;
        // The output is asked for no event: its reader's end shows as an
        // error or hang-up, which poll reports whatever is asked.
        pollfd waits[] = {{fd_, POLLIN, 0},
                          {console::Interrupts().NativeWaitable(), POLLIN, 0},
                          {finished_.NativeWaitable(), POLLIN, 0},
                          {output_, 0, 0}};
        const int ready = ::poll(waits, 4, ParentLookMilliseconds);
        if (ready < 0 && errno != EINTR) {
            throw remote::WireError(std::string("could not wait for the input: ") + std::strerror(errno));
        }
        if (ready > 0 && (waits[3].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return 0;
        if (ready <= 0 || waits[0].revents == 0) continue;
        const ssize_t got = ::read(fd_, into, size);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR || errno == EAGAIN) continue;
        if (errno == ECONNRESET) return 0;
        throw remote::WireError(std::string("could not read the input: ") + std::strerror(errno));
    }
}

}  // namespace tamberlo::cli
