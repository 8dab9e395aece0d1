#include "cli/Console.h"

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
std::atomic<bool> interrupted{false};

BOOL WINAPI NoteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    interrupted = true;
    return TRUE;
}
}  // namespace

void CatchInterrupts() { ::SetConsoleCtrlHandler(NoteInterrupt, TRUE); }

bool InterruptRequested() noexcept { return interrupted; }

}  // namespace tamberlo::cli::console
