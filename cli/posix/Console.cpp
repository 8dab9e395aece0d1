#include "cli/Console.h"

#include "host/StopSignal.h"

#include <atomic>
#include <csignal>

#include <limits.h>
#include <unistd.h>

namespace tamberlo::cli::console {

void UseBinaryStandardStreams() {}

namespace {

// Requested by an interrupt that finds the first one requested already.
StopSignal& SecondSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}
std::atomic<StopSignal*> caughtAgain{nullptr};

// Made once and never destroyed: a signal may arrive while the process ends.
StopSignal& InterruptSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}

// Set before the handlers are installed, read by them.
std::atomic<StopSignal*> caught{nullptr};

extern "C" void NoteInterrupt(int) {
    if (StopSignal* signal = caught.load()) {
        if (StopSignal* again = caughtAgain.load(); again != nullptr && signal->IsRequested()) again->Request();
        signal->Request();
    }
}

}  // namespace

void CatchInterrupts() {
    caughtAgain = &SecondSignal();
    caught = &InterruptSignal();
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    // SIGPIPE too: a reader that went away (`| head -1`) stops SAS and the
    // run cleans up; the write that met it then fails with EPIPE. A signal
    // ignored when the command started (nohup, a background job) stays
    // ignored, as it does for SAS.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

const StopSignal& Interrupts() { return InterruptSignal(); }

const StopSignal& SecondInterrupts() { return SecondSignal(); }

bool InterruptRequested() noexcept {
    const StopSignal* signal = caught.load();
    return signal != nullptr && signal->IsRequested();
}

bool IsTerminal(std::FILE* stream) noexcept { return ::isatty(::fileno(stream)) == 1; }

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

}  // namespace tamberlo::cli::console
