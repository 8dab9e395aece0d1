#include "cli/Console.h"

#include "host/StopSignal.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace tamberlo::cli::console {

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

namespace {

// Requested by an interrupt that finds the first one requested already.
StopSignal& SecondSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}
std::atomic<StopSignal*> caughtAgain{nullptr};

// Made once and never destroyed: an interrupt may arrive while the process ends.
StopSignal& InterruptSignal() {
    static StopSignal& signal = *new StopSignal;
    return signal;
}

// Set before the handler is installed, read by it (on a thread of its own).
std::atomic<StopSignal*> caught{nullptr};

BOOL WINAPI NoteInterrupt(DWORD event) {
    const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && !closing) return FALSE;
    if (StopSignal* signal = caught.load()) {
        if (StopSignal* again = caughtAgain.load(); again != nullptr && signal->IsRequested()) again->Request();
        signal->Request();
    }
    // Windows ends the process as soon as the handler returns from a close:
    // it waits here instead, while the main thread stops SAS, deletes the
    // run's files and ends the process (within the time Windows allows).
    if (closing) ::Sleep(30000);
    return TRUE;
}

}  // namespace

void CatchInterrupts() {
    caughtAgain = &SecondSignal();
    caught = &InterruptSignal();
    ::SetConsoleCtrlHandler(NoteInterrupt, TRUE);
}

const StopSignal& Interrupts() { return InterruptSignal(); }

const StopSignal& SecondInterrupts() { return SecondSignal(); }

bool InterruptRequested() noexcept {
    const StopSignal* signal = caught.load();
    return signal != nullptr && signal->IsRequested();
}

bool IsTerminal(std::FILE* stream) noexcept {
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    if (!::GetComputerNameA(name, &size) || size == 0) return "localhost";
    return std::string(name, size);
}

}  // namespace tamberlo::cli::console
