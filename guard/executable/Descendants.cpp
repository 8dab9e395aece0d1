#include "Descendants.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace tamberlo::guard {

namespace {

struct Entry {
    pid_t pid = 0;
    pid_t parent = 0;
    bool ended = false;  // a zombie, waiting to be collected
};

// Process `name` (a /proc entry); a parent of 0 when it is gone.
Entry EntryOf(const char* name) {
    char path[sizeof "/proc//stat" + sizeof(dirent::d_name)];
    std::snprintf(path, sizeof path, "/proc/%s/stat", name);
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char stat[512];
    const ssize_t got = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (got <= 0) return {};
    stat[got] = '\0';
    // After the command name in parentheses (which may hold anything): state, parent.
    const char* close = std::strrchr(stat, ')');
    char state = 0;
    long parent = 0;
    if (close == nullptr || std::sscanf(close + 1, " %c %ld", &state, &parent) != 2) return {};
    return {static_cast<pid_t>(std::atoi(name)), static_cast<pid_t>(parent), state == 'Z'};
}

std::vector<Entry> ProcessTable() {
    std::vector<Entry> all;
    if (DIR* proc = ::opendir("/proc")) {
        while (const dirent* entry = ::readdir(proc)) {
            if (entry->d_name[0] < '1' || entry->d_name[0] > '9') continue;
            if (const Entry found = EntryOf(entry->d_name); found.parent != 0) all.push_back(found);
        }
        ::closedir(proc);
    }
    return all;
}

// The walk down from `ancestor`, not into its children in `spared`.
std::vector<Entry> Below(pid_t ancestor, const std::set<pid_t>& spared) {
    const std::vector<Entry> all = ProcessTable();
    std::vector<Entry> found;
    std::vector<pid_t> parents{ancestor};
    while (!parents.empty()) {
        const pid_t parent = parents.back();
        parents.pop_back();
        for (const Entry& entry : all) {
            if (entry.parent != parent || (parent == ancestor && spared.count(entry.pid) != 0)) continue;
            found.push_back(entry);
            parents.push_back(entry.pid);
        }
    }
    return found;
}

}  // namespace

std::vector<pid_t> Descendants(pid_t ancestor) {
    std::vector<pid_t> found;
    for (const Entry& entry : Below(ancestor, {})) found.push_back(entry.pid);
    return found;
}

std::vector<pid_t> DescendantsApart(pid_t ancestor, const std::set<pid_t>& spared) {
    std::vector<pid_t> found;
    for (const Entry& entry : Below(ancestor, spared))
        if (!entry.ended) found.push_back(entry.pid);
    return found;
}

bool SignalDescendants(int signal) {
    const std::vector<pid_t> found = Descendants(::getpid());
    for (const pid_t pid : found) ::kill(pid, signal);
    return !found.empty();
}

}  // namespace tamberlo::guard
