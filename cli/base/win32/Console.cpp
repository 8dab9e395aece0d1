#include "cli/base/Console.h"

#include "cli/base/InterruptRequests.h"
#include "host/CommandLine.h"
#include "host/win32/Handle.h"
#include "cli/base/CommandText.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <io.h>

namespace tamberlo::cli::console {

void UseBinaryStandardStreams() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::vector<std::string> Arguments(int, char**) {
    const wchar_t* const line = ::GetCommandLineW();
    const int length = static_cast<int>(std::wcslen(line));
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) ::WideCharToMultiByte(CP_UTF8, 0, line, length, utf8.data(), size, nullptr, nullptr);
    // Split as the C run-time splits the ANSI line into argv.
    return SplitCommandLine(utf8);
}

SessionEncoding ArgumentEncoding() { return *SessionEncoding::FromName("UTF-8"); }

std::string ForTerminal(const std::string& commandText) {
    return SessionEncoding::Terminal().FromUtf8Or(commandText, commandText);
}

std::FILE* OpenFile(const std::string& name, const char* mode) {
    const std::wstring wideMode(mode, mode + std::strlen(mode));
    return ::_wfopen(commandtext::ToPath(name).c_str(), wideMode.c_str());
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
    return commandtext::FromHost(std::string_view(name, size));
}

unsigned long ProcessId() noexcept { return GetCurrentProcessId(); }

bool ProcessRuns(unsigned long id) noexcept {
    const win32::Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id)));
    if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    return GetExitCodeProcess(process.get(), &code) && code == STILL_ACTIVE;
}

}  // namespace tamberlo::cli::console
