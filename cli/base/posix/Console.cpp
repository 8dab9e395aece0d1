#include "cli/base/Console.h"

#include "cli/base/InterruptRequests.h"

#include <cerrno>
#include <csignal>

#include <limits.h>
#include <signal.h>
#include <unistd.h>

namespace tamberlo::cli::console {

void UseBinaryStandardStreams() {}

std::vector<std::string> Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

SessionEncoding ArgumentEncoding() { return SessionEncoding::Terminal(); }

std::string ForTerminal(const std::string& commandText) { return commandText; }

std::FILE* OpenFile(const std::string& name, const char* mode) { return std::fopen(name.c_str(), mode); }

namespace {

extern "C" void NoteInterrupt(int) { NoteInterruptRequest(); }

}  // namespace

void CatchInterrupts() {
    PrepareInterruptRequests();
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

bool IsTerminal(std::FILE* stream) noexcept { return ::isatty(::fileno(stream)) == 1; }

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    return name;
}

unsigned long ProcessId() noexcept { return static_cast<unsigned long>(::getpid()); }

bool ProcessRuns(unsigned long id) noexcept {
    const auto pid = static_cast<pid_t>(id);
    if (pid <= 0 || static_cast<unsigned long>(pid) != id) return false;
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace tamberlo::cli::console
