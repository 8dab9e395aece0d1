#include "Guard.h"

#include "Descendants.h"
#include "Refusal.h"
#include "RunReaper.h"
#include "guard/wire/ControlMessages.h"
#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tamberlo::guard {

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

}  // namespace

Guard::Guard(pid_t served, std::string folderPrefix, int signals)
    : served_(served), folderPrefix_(std::move(folderPrefix)), signals_(signals) {}

int Guard::Serve() {
    // Ready before the first run is asked for: the library starts this
    // guard while it still prepares its first run.
    ForkReaper(FirstLinkDescriptor);
    // Only the library and the reaper hold a link: when either goes, the other sees it.
    ::close(FirstLinkDescriptor);
    while (!servedGone_) {
        pollfd waitables[2] = {{ControlDescriptor, POLLIN, 0}, {signals_, POLLIN, 0}};
        if (::poll(waitables, 2, -1) < 0) continue;
        if (waitables[1].revents & POLLIN) TakeSignals();
        if (waitables[0].revents & (POLLIN | POLLHUP | POLLERR))
            TakeRequest((waitables[0].revents & (POLLHUP | POLLERR)) != 0);
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

void Guard::TakeSignals() {
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
// fork while the others are killed; those ended are collected later. A
// process that a kill cannot end yet (one stuck in the kernel) does not
// keep the guard from serving: it ends once its SIGKILL is taken.
void Guard::SweepStrays(int status) {
    if (!WIFSIGNALED(status)) return;
    constexpr int MostLooks = 200;
    for (int look = 0; look < MostLooks; ++look) {
        const std::vector<pid_t> strays = DescendantsApart(::getpid(), reapers_);
        if (strays.empty()) return;
        for (const pid_t pid : strays) ::kill(pid, SIGKILL);
        // A killed process is not at once seen to have ended.
        ::poll(nullptr, 0, 1);
    }
}

// `hungUp`: the poll saw the other end close (a message may still come
// first); an empty message is then that end, not a message.
void Guard::TakeRequest(bool hungUp) {
    char buffer[MaxControlMessage];
    const Received message = ReceiveWithDescriptors(ControlDescriptor, buffer, sizeof buffer);
    if (message.bytes < 0 && message.error == EAGAIN) return;
    if (message.bytes < 0 || (message.bytes == 0 && message.count == 0 && hungUp)) {
        CloseDescriptors(message);
        servedGone_ = true;
        return;
    }
    const auto size = static_cast<std::size_t>(message.bytes);
    const std::string refusal = ControlRefusal(buffer, size, message.oversized, message.count);
    if (!refusal.empty()) {
        SayRefused("control socket", refusal);
        CloseDescriptors(message);
        return;
    }
    ControlRequest request{};
    std::memcpy(&request, buffer, sizeof request);
    const int link = message.count == 1 ? message.descriptors[0] : -1;
    switch (request.kind) {
    case ControlKind::NewReaper: HandReaper(link); break;
    case ControlKind::ParkReaper:
        if (parked_.size() < MaxParkedReapers) {
            parked_.push_back(link);
            return;
        }
        break;
    case ControlKind::SweepFolders:
        temporaryFolders_.insert(std::string(buffer + sizeof request, size - sizeof request));
        break;
    case ControlKind::Clean: clean_ = true; break;
    }
    // A parked link closed (one too many) ends its reaper.
    if (link >= 0) ::close(link);
}

// A reaper for the runs sent on `link`: a parked one, told to take it,
// else a new one.
void Guard::HandReaper(int link) {
    while (!parked_.empty()) {
        const int parked = parked_.back();
        parked_.pop_back();
        const LinkRequest relink{LinkKind::Relink};
        const int error = SendWithDescriptors(parked, &relink, sizeof relink, &link, 1);
        ::close(parked);
        if (error == 0) return;
        // That reaper has gone: the next.
    }
    ForkReaper(link);
}

// A reaper serving the runs sent on `link`. Without one (the system
// refuses a process) the link says why before the caller closes it: the
// library reports the run sent on it as not started, with that reason.
void Guard::ForkReaper(int link) {
    const pid_t guard = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ControlDescriptor);
        ::close(signals_);
        for (const int parked : parked_) ::close(parked);
        ::_exit(ServeRuns(link, guard));
    }
    if (pid > 0) {
        reapers_.insert(pid);
        return;
    }
    const NoReaperMessage refused{LinkKind::NoReaper, errno};
    SendWithDescriptors(link, &refused, sizeof refused, nullptr, 0);
}

}  // namespace tamberlo::guard
