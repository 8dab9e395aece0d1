#include "Descendants.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace tamberlo::guard {

namespace {

// The parent of process `name` (a /proc entry), or 0 when it is gone.
pid_t ParentOf(const char* name) {
    char path[sizeof "/proc//stat" + sizeof(dirent::d_name)];
    std::snprintf(path, sizeof path, "/proc/%s/stat", name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char stat[512];
    const ssize_t got = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (got <= 0) return 0;
    stat[got] = '\0';
    // After the command name in parentheses (which may hold anything): state, parent.
    const char* close = std::strrchr(stat, ')');
    char state = 0;
    long parent = 0;
    if (close == nullptr || std::sscanf(close + 1, " %c %ld", &state, &parent) != 2) return 0;
    return static_cast<pid_t>(parent);
}

}  // namespace

std::vector<pid_t> Descendants(pid_t ancestor) {
    std::vector<std::pair<pid_t, pid_t>> all;  // process, parent
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
            if (const pid_t parent = ParentOf(entry->d_name)) all.emplace_back(std::atoi(entry->d_name), parent);
        }
        ::closedir(proc);
    }
    std::vector<pid_t> found;
    std::vector<pid_t> parents{ancestor};
    while (!parents.empty()) {
        const pid_t parent = parents.back();
        parents.pop_back();
        for (const auto& [pid, itsParent] : all) {
            if (itsParent != parent) continue;
            found.push_back(pid);
            parents.push_back(pid);
        }
    }
    return found;
}

bool SignalDescendants(int signal) {
    const std::vector<pid_t> found = Descendants(::getpid());
    for (const pid_t pid : found) ::kill(pid, signal);
    return !found.empty();
}

}  // namespace tamberlo::guard
