#include "support/PeakMemory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo::bench {

namespace {

constexpr const char* CaseOption = "--peak-case=";

std::map<std::string, PeakCase>& Cases() {
    static std::map<std::string, PeakCase> cases;
    return cases;
}

// A "Name:   1234 kB" field of /proc/self/status, in KiB; -1 when missing.
long StatusKiB(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t length = std::strlen(name);
    while (std::getline(status, line)) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':') {
            return std::atol(line.c_str() + length + 1);
        }
    }
    return -1;
}

std::string SelfPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<std::size_t>(length));
}

}  // namespace

void PeakProbe::Start() {
    // "5" resets the peak (VmHWM) to the present resident size (Linux 4.0 on).
    if (std::FILE* refs = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
    startKiB_ = StatusKiB("VmRSS");
}

std::size_t PeakProbe::Stop() {
    const long peakKiB = StatusKiB("VmHWM");
    return peakKiB > startKiB_ ? static_cast<std::size_t>(peakKiB - startKiB_) * 1024 : 0;
}

bool RegisterPeakCase(const std::string& name, PeakCase run) {
    Cases().emplace(name, std::move(run));
    return true;
}

std::optional<std::size_t> MeasurePeak(const std::string& name, const std::string& argument) {
    const std::string self = SelfPath();
    std::string option = CaseOption + name;
    if (!argument.empty()) option += ":" + argument;
    char* argv[] = {const_cast<char*>(self.c_str()), option.data(), nullptr};

    int pipeEnds[2];
    if (self.empty() || ::pipe(pipeEnds) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t child = 0;
    const int failure = ::posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    std::string output;
    if (failure == 0) {
        char buffer[256];
        ssize_t got;
        while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    if (failure != 0) return std::nullopt;
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    const std::size_t at = output.find("peak-bytes ");
    if (at == std::string::npos) return std::nullopt;
    return static_cast<std::size_t>(std::strtoull(output.c_str() + at + 11, nullptr, 10));
}

bool RunPeakCaseFromArguments(int argc, char** argv, int& exitCode) {
    const std::size_t optionLength = std::strlen(CaseOption);
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option.compare(0, optionLength, CaseOption) != 0) continue;
        const std::string value = option.substr(optionLength);
        const std::size_t colon = value.find(':');
        const std::string name = value.substr(0, colon);
        const std::string argument = colon == std::string::npos ? std::string() : value.substr(colon + 1);
        const auto found = Cases().find(name);
        if (found == Cases().end()) {
            std::fprintf(stderr, "bench: no peak-memory case '%s'\n", name.c_str());
            exitCode = 2;
            return true;
        }
        PeakProbe probe;
        const std::size_t bytes = found->second(probe, argument);
        std::printf("peak-bytes %zu\n", bytes);
        exitCode = 0;
        return true;
    }
    return false;
}

}  // namespace tamberlo::bench
