#include "ProcessProbe.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace tamberlo::reliability {

namespace {

bool IsNumber(const char* name) {
    if (*name == '\0') return false;
    for (; *name; ++name)
        if (!std::isdigit(static_cast<unsigned char>(*name))) return false;
    return true;
}

struct Stat {
    std::string name;
    char state = 0;
    long parent = -1;
    long session = -1;
};

// A process's name, state, parent and session from one read of
// /proc/<pid>/stat: the fields after the command name in parentheses (which
// may itself hold blanks and parentheses). All -1 once the process has gone.
// One read, so that a process that ends meanwhile is seen whole or not at all.
Stat StatOf(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string line;
    std::getline(in, line);
    Stat stat;
    const auto close = line.rfind(')');
    const auto open = line.find('(');
    long group = -1;
    if (open == std::string::npos || close == std::string::npos || close < open ||
        std::sscanf(line.c_str() + close + 1, " %c %ld %ld %ld", &stat.state, &stat.parent, &group, &stat.session) != 4)
        return {};
    stat.name = line.substr(open + 1, close - open - 1);
    return stat;
}

// The guard and its run reapers stand between a process and the programs
// it starts: they are looked through, not counted.
bool IsGuard(const Stat& stat) { return stat.name == "tamberlo-guard"; }

}  // namespace

std::size_t OpenHandleCount() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) throw std::runtime_error("/proc/self/fd cannot be listed");
    std::size_t count = 0;
    while (const dirent* entry = ::readdir(folder))
        if (IsNumber(entry->d_name)) ++count;
    ::closedir(folder);
    return count - 1;  // the listing's own descriptor
}

std::size_t ResidentBytes() {
    std::ifstream in("/proc/self/statm");
    std::size_t size = 0, resident = 0;
    in >> size >> resident;
    return resident * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

std::vector<unsigned long> ChildProcessesOf(unsigned long pid) {
    std::vector<unsigned long> children;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) return children;
    std::vector<std::string> guards;
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name)) continue;
        const Stat stat = StatOf(entry->d_name);
        if (stat.parent != static_cast<long>(pid)) continue;
        if (IsGuard(stat)) {
            guards.emplace_back(entry->d_name);
        } else {
            children.push_back(std::stoul(entry->d_name));
        }
    }
    ::closedir(proc);
    for (const std::string& guard : guards) {
        const std::vector<unsigned long> below = ChildProcessesOf(std::stoul(guard));
        children.insert(children.end(), below.begin(), below.end());
    }
    return children;
}

std::vector<unsigned long> GuardProcesses() { return GuardProcessesOf(static_cast<unsigned long>(::getpid())); }

std::vector<unsigned long> GuardProcessesOf(unsigned long pid) {
    std::vector<unsigned long> guards;
    const auto addBelow = [&guards](unsigned long parent) {
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr) throw std::runtime_error("/proc cannot be listed");
        while (const dirent* entry = ::readdir(proc)) {
            if (!IsNumber(entry->d_name)) continue;
            const Stat stat = StatOf(entry->d_name);
            if (stat.parent == static_cast<long>(parent) && IsGuard(stat) && stat.state != 'Z')
                guards.push_back(std::stoul(entry->d_name));
        }
        ::closedir(proc);
    };
    addBelow(pid);
    for (std::size_t guard = 0, count = guards.size(); guard < count; ++guard) addBelow(guards[guard]);
    return guards;
}

std::vector<unsigned long> ProcessesInSession(unsigned long sid) {
    std::vector<unsigned long> members;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) throw std::runtime_error("/proc cannot be listed");
    while (const dirent* entry = ::readdir(proc)) {
        if (!IsNumber(entry->d_name)) continue;
        const Stat stat = StatOf(entry->d_name);
        if (stat.session == static_cast<long>(sid) && stat.state != 'Z') members.push_back(std::stoul(entry->d_name));
    }
    ::closedir(proc);
    return members;
}

std::vector<unsigned long> ChildProcesses() { return ChildProcessesOf(static_cast<unsigned long>(::getpid())); }

std::size_t KillChildProcesses() {
    std::size_t asked = 0;
    for (const unsigned long pid : ChildProcesses())
        if (::kill(static_cast<pid_t>(pid), SIGKILL) == 0) ++asked;
    return asked;
}

}  // namespace tamberlo::reliability
