// tamberlo-guard: the process under which the library starts SAS on Linux.
//
//   tamberlo-guard <id of the process it serves> <token>
//
// Started once per process that runs SAS (host/posix/GuardConnection.cpp),
// with its control socket as descriptor 3 and its first reaper's link as 4
// (GuardProtocol.h). It is a child subreaper and gets SIGTERM when the
// process it serves ends (PR_SET_PDEATHSIG), so that nothing of a run
// survives that process, even when it was killed with SIGKILL: the runs are
// served by reapers (RunReaper.h) it forks on request, each kept for run
// after run, and when the served process has gone, every run is stopped and
// then the run folders it left are removed.
#include "RunReaper.h"

#include "Descendants.h"
#include "SignalWatch.h"
#include "host/posix/DescriptorMessages.h"
#include "host/posix/GuardProtocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace tamberlo::guard;

namespace {

int RemoveEntry(const char* path, const struct stat*, int kind, FTW*) {
    if (kind == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

// The folder and everything in it; links are removed, never followed.
void RemoveFolder(const std::string& path) { ::nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

// Removes the run folders of the served process in `temporary`: folders
// named `prefix` (which holds the token), of this user, never through a link.
void SweepFolders(const std::string& temporary, const std::string& prefix) {
    DIR* listing = ::opendir(temporary.c_str());
    if (listing == nullptr) return;
    while (const dirent* entry = ::readdir(listing)) {
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        struct stat info {};
        if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode) && info.st_uid == ::geteuid()) RemoveFolder(temporary + entry->d_name);
    }
    ::closedir(listing);
}

// Free reapers kept beyond this many end: a host that once ran many runs
// at a time does not keep a process for each for the rest of its life.
constexpr std::size_t MaxParkedReapers = 8;

class Guard {
public:
    Guard(pid_t served, std::string folderPrefix, int signals)
        : served_(served), folderPrefix_(std::move(folderPrefix)), signals_(signals) {}

    int Serve() {
        // Ready before the first run is asked for: the library starts this
        // guard while it still prepares its first run.
        ForkReaper(FirstLinkDescriptor);
        // Only the library and the reaper hold a link: when either goes, the other sees it.
        ::close(FirstLinkDescriptor);
        while (!servedGone_) {
            pollfd waitables[2] = {{ControlDescriptor, POLLIN, 0}, {signals_, POLLIN, 0}};
            if (::poll(waitables, 2, -1) < 0) continue;
            if (waitables[1].revents & POLLIN) TakeSignals();
            if (waitables[0].revents & (POLLIN | POLLHUP | POLLERR)) TakeRequest();
        }
        // The served process is gone: every run is stopped by its reaper,
        // then the folders go, once nothing can write into them any more.
        for (const pid_t reaper : reapers_) ::kill(reaper, SIGTERM);
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, 0);
            if (pid < 0 && errno == ECHILD) break;
            if (pid > 0 && reapers_.erase(pid) != 0) SweepStrays(status);
        }
        if (!clean_) {
            for (const std::string& temporary : temporaryFolders_) SweepFolders(temporary, folderPrefix_);
        }
        return 0;
    }

private:
    void TakeSignals() {
        signalfd_siginfo info{};
        while (::read(signals_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            // SIGTERM also comes when only the served process's thread that
            // started this guard ends: gone means this guard was handed on.
            if (info.ssi_signo == SIGTERM && ::getppid() != served_) servedGone_ = true;
        }
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, WNOHANG);
            if (pid <= 0) break;
            if (reapers_.erase(pid) != 0) SweepStrays(status);
        }
    }

    // A reaper that was killed left the processes of its run to this
    // subreaper: they are now its children that are not reapers, with all
    // below them. Every other reaper's run is below that reaper, itself a
    // subreaper, and is left alone. Again until none is left, as one may
    // fork while the others are killed; those ended are collected later.
    void SweepStrays(int status) {
        if (!WIFSIGNALED(status)) return;
        for (;;) {
            const std::vector<pid_t> strays = DescendantsApart(::getpid(), reapers_);
            if (strays.empty()) return;
            for (const pid_t pid : strays) ::kill(pid, SIGKILL);
            // A killed process is not at once seen to have ended.
            ::poll(nullptr, 0, 1);
        }
    }

    void TakeRequest() {
        char buffer[sizeof(Request) + 4096];
        int passed[MaxPassedDescriptors];
        std::size_t count = 0;
        const ssize_t got = ReceiveWithDescriptors(ControlDescriptor, buffer, sizeof buffer, passed, count);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (got <= 0) {
            servedGone_ = true;
            return;
        }
        // A request carries one descriptor at the most.
        const int link = count == 1 ? passed[0] : -1;
        for (std::size_t i = 0; count > 1 && i < count; ++i) ::close(passed[i]);
        Request request{};
        if (static_cast<std::size_t>(got) >= sizeof request) std::memcpy(&request, buffer, sizeof request);
        const std::size_t pathSize =
            static_cast<std::size_t>(got) - std::min(sizeof request, static_cast<std::size_t>(got));
        const char* path = buffer + sizeof request;
        if (request.kind == RequestKind::NewReaper && link >= 0) {
            HandReaper(link);
        } else if (request.kind == RequestKind::ParkReaper && link >= 0 && parked_.size() < MaxParkedReapers) {
            parked_.push_back(link);
            return;
        } else if (request.kind == RequestKind::SweepFolders && pathSize > 0) {
            temporaryFolders_.insert(std::string(path, pathSize));
        } else if (request.kind == RequestKind::Clean) {
            clean_ = true;
        }
        // A parked link closed (one too many) ends its reaper.
        if (link >= 0) ::close(link);
    }

    // A reaper for the runs sent on `link`: a parked one, told to take it,
    // else a new one.
    void HandReaper(int link) {
        while (!parked_.empty()) {
            const int parked = parked_.back();
            parked_.pop_back();
            const Request relink{RequestKind::Relink};
            const int error = SendWithDescriptors(parked, &relink, sizeof relink, &link, 1);
            ::close(parked);
            if (error == 0) return;
            // That reaper has gone: the next.
        }
        ForkReaper(link);
    }

    // A reaper serving the runs sent on `link`. Without one (the system
    // refuses a process) the link closes unanswered: the library reports
    // the run sent on it as not started.
    void ForkReaper(int link) {
        const pid_t guard = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ControlDescriptor);
            ::close(signals_);
            for (const int parked : parked_) ::close(parked);
            ::_exit(ServeRuns(link, guard));
        }
        if (pid > 0) reapers_.insert(pid);
    }

    const pid_t served_;
    const std::string folderPrefix_;
    const int signals_;
    bool servedGone_ = false;
    bool clean_ = false;
    std::set<pid_t> reapers_;
    std::vector<int> parked_;  // the library's ends of free reapers' links
    std::set<std::string> temporaryFolders_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 64;
    const pid_t served = static_cast<pid_t>(std::atol(argv[1]));
    // Started with every signal blocked (so that no handler of the served
    // process could run before the exec); the guard blocks its own below.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    // Dispositions the served process ignored come along through exec: an
    // ignored SIGCHLD would have the kernel reap the runs' processes unseen,
    // an ignored SIGTERM would hide that the served process has died.
    ::signal(SIGCHLD, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    const int signals = WatchChildrenAndTermination();
    if (signals < 0 || ::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0 || ::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return 71;
    Guard guard(served, std::string(FolderPrefix) + "_" + argv[2] + "_", signals);
    // Gone before the line above took effect: nothing to serve.
    if (::getppid() != served) return 0;
    return guard.Serve();
}
