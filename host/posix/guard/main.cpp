// tamberlo-guard: the process under which the library starts SAS on Linux.
//
//   tamberlo-guard <id of the process it serves>
//
// Started once per process that runs SAS (host/posix/GuardConnection.cpp), with its
// control socket as descriptor 3. It is a child subreaper and gets SIGTERM
// when the process it serves ends (PR_SET_PDEATHSIG), so that nothing of a
// run survives that process, even when it was killed with SIGKILL: every run
// is served by a RunReaper of its own, and every folder it was asked to
// guard is removed once its channel closes, or once the runs are stopped
// after the served process has gone.
#include "RunReaper.h"

#include "Descendants.h"
#include "SignalWatch.h"
#include "host/posix/GuardProtocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ftw.h>
#include <poll.h>
#include <set>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
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

struct GuardedFolder {
    int channel;
    std::string path;
};

class Guard {
public:
    Guard(pid_t served, int signals) : served_(served), signals_(signals) {}

    int Serve() {
        while (!servedGone_) {
            std::vector<pollfd> waitables{{ControlDescriptor, POLLIN, 0}, {signals_, POLLIN, 0}};
            for (const GuardedFolder& folder : folders_) waitables.push_back({folder.channel, POLLIN, 0});
            if (::poll(waitables.data(), waitables.size(), -1) < 0) continue;
            if (waitables[1].revents & POLLIN) TakeSignals();
            if (waitables[0].revents & (POLLIN | POLLHUP | POLLERR)) TakeRequest();
            for (std::size_t i = waitables.size(); i-- > 2;) {
                if (waitables[i].revents & (POLLIN | POLLHUP | POLLERR)) ReleaseFolder(i - 2);
            }
        }
        // The served process is gone: every run is stopped by its reaper,
        // then the folders go, once nothing can write into them any more.
        for (const pid_t reaper : reapers_) ::kill(reaper, SIGTERM);
        for (;;) {
            int status = 0;
            const pid_t pid = ::waitpid(-1, &status, 0);
            if (pid < 0 && errno == ECHILD) break;
            if (pid > 0 && reapers_.erase(pid) == 0) continue;
            if (pid > 0) SweepStrays(status);
        }
        for (const GuardedFolder& folder : folders_) RemoveFolder(folder.path);
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

    // A reaper that was killed left what it served to this subreaper.
    void SweepStrays(int status) {
        if (WIFSIGNALED(status)) {
            const std::vector<pid_t> below = Descendants(::getpid());
            for (const pid_t pid : below)
                if (reapers_.count(pid) == 0) ::kill(pid, SIGKILL);
        }
    }

    void TakeRequest() {
        Request request{};
        char path[4096 + 1] = {};
        iovec parts[2] = {{&request, sizeof request}, {path, sizeof path - 1}};
        alignas(cmsghdr) char space[CMSG_SPACE(sizeof(int) * StartRunDescriptors)];
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = 2;
        message.msg_control = space;
        message.msg_controllen = sizeof space;
        const ssize_t got = ::recvmsg(ControlDescriptor, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) return;
        if (got <= 0) {
            servedGone_ = true;
            return;
        }
        std::vector<int> descriptors;
        for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr; header = CMSG_NXTHDR(&message, header)) {
            if (header->cmsg_level != SOL_SOCKET || header->cmsg_type != SCM_RIGHTS) continue;
            const std::size_t count = (header->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            const auto* first = reinterpret_cast<const int*>(CMSG_DATA(header));
            descriptors.insert(descriptors.end(), first, first + count);
        }
        if (request.kind == RequestKind::StartRun && descriptors.size() == StartRunDescriptors) {
            StartReaper(descriptors);
        } else if (request.kind == RequestKind::GuardFolder && descriptors.size() == 1 &&
                   static_cast<std::size_t>(got) > sizeof request) {
            folders_.push_back({descriptors[0], std::string(path, static_cast<std::size_t>(got) - sizeof request)});
            return;
        }
        for (const int fd : descriptors) ::close(fd);
    }

    void StartReaper(const std::vector<int>& descriptors) {
        const pid_t guard = ::getpid();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(ControlDescriptor);
            ::close(signals_);
            for (const GuardedFolder& folder : folders_) ::close(folder.channel);
            int own[StartRunDescriptors];
            std::copy(descriptors.begin(), descriptors.end(), own);
            ::_exit(RunReaper(own, guard));
        }
        // Without a reaper the run channel closes unanswered: the library
        // reports the run as not started.
        if (pid > 0) reapers_.insert(pid);
    }

    // A folder whose channel has closed: released by the library, it goes
    // now; else the served process has died while its run may still write
    // there, and it goes at the end, once every run is stopped.
    void ReleaseFolder(std::size_t index) {
        GuardedFolder& folder = folders_[index];
        char said = 0;
        const ssize_t got = ::read(folder.channel, &said, 1);
        if (got < 0 && errno == EINTR) return;
        ::close(folder.channel);
        if (got == 1 && said == FolderReleased) {
            RemoveFolder(folder.path);
            folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(index));
        } else {
            folder.channel = -1;  // poll passes it over
        }
    }

    const pid_t served_;
    const int signals_;
    bool servedGone_ = false;
    std::set<pid_t> reapers_;
    std::vector<GuardedFolder> folders_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 64;
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
    Guard guard(served, signals);
    // Gone before the line above took effect: nothing to serve.
    if (::getppid() != served) return 0;
    return guard.Serve();
}
