#include "Platform.h"

#include <chrono>
#include <thread>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

// Arguments reach main() split by the Windows rules only: the mingw-w64
// runtime must not expand '*' or '?' in them.
extern "C" {
int _dowildcard = 0;
}

namespace tamberlo::standin {

const std::vector<std::string>& Platform::FlagOptions() {
    static const std::vector<std::string> names = {"NOLOGO", "$NOSTATUSWIN", "NOCONFIG", "ICON"};
    return names;
}

bool Platform::RefusesUnknownOptions() { return false; }

std::string Platform::ReceivedCommandLine(int, char**) {
    const char* text = ::GetCommandLineA();
    return text != nullptr ? text : "";
}

std::string Platform::CurrentDirectory() {
    const DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return {};
    std::string directory(needed, '\0');
    const DWORD written = ::GetCurrentDirectoryA(needed, directory.data());
    if (written == 0 || written >= needed) return {};
    directory.resize(written);
    return directory;
}

double Platform::CpuSeconds() {
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0.0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    // FILETIME counts 100-nanosecond intervals.
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
}

void Platform::UseBinaryStandardStreams() {
    ::_setmode(::_fileno(stdin), _O_BINARY);
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

void Platform::CatchTermination() {}

bool Platform::Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    return true;
}

}  // namespace tamberlo::standin
