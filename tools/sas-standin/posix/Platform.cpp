#include "Platform.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <time.h>
#include <unistd.h>

#include <vector>

namespace tamberlo::standin {

namespace {
std::atomic<bool> terminationRequested{false};
extern "C" void NoteTermination(int) { terminationRequested = true; }
}  // namespace

void Platform::CatchTermination() {
    struct sigaction action {};
    action.sa_handler = NoteTermination;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool Platform::Sleep(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!terminationRequested && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !terminationRequested;
}

std::string Platform::ReceivedCommandLine(int argc, char** argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        text += argv[i];
        text += '\n';
    }
    return text;
}

std::string Platform::CurrentDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
        if (buffer.size() >= (1u << 20)) return {};
        buffer.resize(buffer.size() * 2);
    }
}

double Platform::CpuSeconds() {
    timespec used{};
    if (::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used) != 0) return 0.0;
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
}

const std::vector<std::string>& Platform::FlagOptions() {
    static const std::vector<std::string> names = {"NOLOGO", "NOTERMINAL", "NOCONFIG"};
    return names;
}

bool Platform::RefusesUnknownOptions() { return true; }

void Platform::UseBinaryStandardStreams() {}

}  // namespace tamberlo::standin
