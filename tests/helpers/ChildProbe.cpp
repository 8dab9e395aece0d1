// A child program for the process-runner tests. It waits, then writes what it
// received into the report file named by its first argument, and exits with
// the code in TAMBERLO_PROBE_EXIT (0 when unset):
//   child-probe <report file> [milliseconds to wait first]
// The report: its current folder, the TAMBERLO_PROBE variable, how it was
// asked to show its window (Windows), and its arguments, one a line.
// With TAMBERLO_PROBE_DETACHED=<file>, it first starts a copy of itself out
// of its own reach (POSIX: a session of its own; Windows: a new process
// group) that writes <file>.started at once and <file> after 1.5 seconds,
// unless it is ended first:
//   child-probe <report file> <milliseconds> <file written at once>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
extern char** environ;
#endif

namespace {

void StartDetachedCopy(const char* self, std::string report) {
    std::string late = "1500";
#ifdef _WIN32
    std::string line = "\"";
    line.append(self).append("\" \"").append(report).append("\" ").append(late).append(" \"").append(report).append(
        ".started\"");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ::SetEnvironmentVariableA("TAMBERLO_PROBE_DETACHED", nullptr);
    if (::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                         &startup, &info)) {
        ::CloseHandle(info.hThread);
        ::CloseHandle(info.hProcess);
    }
#else
    ::unsetenv("TAMBERLO_PROBE_DETACHED");
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string started = report + ".started";
    char* argv[] = {const_cast<char*>(self), report.data(), late.data(), started.data(), nullptr};
    pid_t pid = 0;
    ::posix_spawn(&pid, self, nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    if (const char* detached = std::getenv("TAMBERLO_PROBE_DETACHED")) StartDetachedCopy(argv[0], detached);
    if (argc >= 4) {
        if (std::FILE* started = std::fopen(argv[3], "wb")) std::fclose(started);
    }
    if (argc >= 3) std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));

    std::FILE* report = std::fopen(argv[1], "wb");
    if (!report) return 3;
    std::fprintf(report, "cwd=%s\n", std::filesystem::current_path().string().c_str());
    const char* probe = std::getenv("TAMBERLO_PROBE");
    std::fprintf(report, "env=%s\n", probe ? probe : "(unset)");
#ifdef _WIN32
    STARTUPINFOA startup{};
    ::GetStartupInfoA(&startup);
    std::fprintf(report, "flags=%lu\nshow=%u\n", static_cast<unsigned long>(startup.dwFlags),
                 static_cast<unsigned>(startup.wShowWindow));
    std::fprintf(report, "priority=%lu\n", static_cast<unsigned long>(::GetPriorityClass(::GetCurrentProcess())));
#endif
    for (int i = 0; i < argc; ++i) std::fprintf(report, "arg=%s\n", argv[i]);
    std::fclose(report);
    const char* exitCode = std::getenv("TAMBERLO_PROBE_EXIT");
    return exitCode ? std::atoi(exitCode) : 0;
}
