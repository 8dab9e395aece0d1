#include "cli/Console.h"

#include <csignal>

namespace tamberlo::cli::console {

void UseBinaryStandardStreams() {}

namespace {
volatile std::sig_atomic_t interrupted = 0;
extern "C" void NoteInterrupt(int) { interrupted = 1; }
}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

bool InterruptRequested() noexcept { return interrupted != 0; }

}  // namespace tamberlo::cli::console
