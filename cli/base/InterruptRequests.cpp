#include "cli/base/InterruptRequests.h"

#include "cli/base/Console.h"
#include "host/StopSignal.h"

#include <atomic>

namespace tamberlo::cli::console {

namespace {

StopSignal& InterruptSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}

// Requested by an interrupt that finds the first one requested already.
StopSignal& SecondSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}

// Set before a handler is installed, read by it.
std::atomic<StopSignal*> caught{nullptr};
std::atomic<StopSignal*> caughtAgain{nullptr};

}  // namespace

void PrepareInterruptRequests() {
    caughtAgain = &SecondSignal();
    caught = &InterruptSignal();
}

void NoteInterruptRequest() noexcept {
    if (StopSignal* signal = caught.load()) {
        if (StopSignal* again = caughtAgain.load(); again != nullptr && signal->IsRequested()) again->Request();
        signal->Request();
    }
}

const StopSignal& Interrupts() { return InterruptSignal(); }

const StopSignal& SecondInterrupts() { return SecondSignal(); }

bool InterruptRequested() noexcept {
    const StopSignal* signal = caught.load();
    return signal != nullptr && signal->IsRequested();
}

}  // namespace tamberlo::cli::console
