#include "cli/Console.h"

#include "cli/InterruptRequests.h"

#include <windows.h>

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

BOOL WINAPI NoteInterrupt(DWORD event) {
    const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && !closing) return FALSE;
    NoteInterruptRequest();
    // Windows ends the process as soon as the handler returns from a close:
    // it waits here instead, while the main thread stops SAS, deletes the
    // run's files and ends the process (within the time Windows allows).
    if (closing) ::Sleep(30000);
    return TRUE;
}

}  // namespace

void CatchInterrupts() {
    PrepareInterruptRequests();
    ::SetConsoleCtrlHandler(NoteInterrupt, TRUE);
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
