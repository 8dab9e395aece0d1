#include "host/ProcessTree.h"

#include "guard/library/GuardConnection.h"
#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"
#include "guard/wire/RunProgram.h"
#include "host/CommandLine.h"
#include "host/StopSignal.h"
#include "host/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The tree runs under this process's guard (GuardConnection): the guard's
// reaper for the run starts the program, is the subreaper of everything it
// starts, and answers on the run channel. This file turns the tree's few
// operations into the channel's commands and reports.

namespace tamberlo {

namespace {

// The files that execve is tried on, in order: the name itself when it holds
// a slash, else the name in each folder of PATH (an empty entry is the
// current folder), as posix_spawnp searches and CreateProcess finds a bare name.
std::vector<std::string> Candidates(const std::string& name) {
    if (name.find('/') != std::string::npos) return {name};
    const char* path = std::getenv("PATH");
    const std::string folders = path != nullptr ? path : "/bin:/usr/bin";
    std::vector<std::string> candidates;
    for (std::size_t start = 0;;) {
        const std::size_t end = folders.find(':', start);
        const std::string folder = folders.substr(start, end - start);
        candidates.push_back(folder.empty() ? name : folder + "/" + name);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return candidates;
}

// The program as the guard's reaper reads it; empty when it is too long.
std::string ProgramMessage(const std::vector<std::string>& args, std::chrono::milliseconds gracePeriod) {
    guard::RunProgram program;
    program.gracePeriodMs = static_cast<std::uint32_t>(std::clamp<std::int64_t>(gracePeriod.count(), 0, INT32_MAX));
    program.arguments = args;
    program.candidates = Candidates(args.front());
    for (char** entry = environ; *entry != nullptr; ++entry) program.environment.emplace_back(*entry);
    return guard::EncodeProgram(program);
}

// One of this process's streams as the program is to inherit it; the null
// device for one that is closed.
OwnedDescriptor Inherited(int stream) {
    if (::fcntl(stream, F_GETFD) >= 0) return OwnedDescriptor(::fcntl(stream, F_DUPFD_CLOEXEC, 0));
    return OwnedDescriptor(::open("/dev/null", (stream == 0 ? O_RDONLY : O_WRONLY) | O_CLOEXEC));
}

// A report (or the guard's end) can be read without waiting.
bool HasReport(int channel) {
    pollfd waitable{channel, POLLIN, 0};
    return ::poll(&waitable, 1, 0) > 0;
}

void SendCommand(int channel, guard::Command command) {
    const char byte = static_cast<char>(command);
    guard::WriteAll(channel, &byte, 1);
}

}  // namespace

void ProcessTree::Prepare() noexcept { GuardConnection::OfThisProcess().Prepare(); }

void ProcessTree::LetGo() noexcept { GuardConnection::OfThisProcess().LetGo(); }

std::string ProcessTree::Start(const std::string& cmdline, const std::string& consoleFile,
                               std::chrono::milliseconds gracePeriod) {
    const std::vector<std::string> args = SplitCommandLine(cmdline);
    if (args.empty() || args.front().empty()) return SystemMessage(ENOENT);
    const std::string program = ProgramMessage(args, gracePeriod);
    if (program.empty()) return SystemMessage(E2BIG);

    OwnedDescriptor streams[4] = {Inherited(0), {}, {}, OwnedDescriptor(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC))};
    if (consoleFile.empty()) {
        streams[1] = Inherited(1);
        streams[2] = Inherited(2);
    } else {
        // Created here, never through an existing file or link, readable by its owner only.
        streams[1] = OwnedDescriptor(
            ::open(consoleFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (streams[1].Get() < 0) return SystemMessage(static_cast<unsigned long>(errno));
        streams[2] = OwnedDescriptor(::fcntl(streams[1].Get(), F_DUPFD_CLOEXEC, 0));
    }
    for (const OwnedDescriptor& stream : streams)
        if (stream.Get() < 0) return SystemMessage(static_cast<unsigned long>(errno));

    std::string failure;
    const int descriptors[4] = {streams[0].Get(), streams[1].Get(), streams[2].Get(), streams[3].Get()};
    GuardConnection::Run run = GuardConnection::OfThisProcess().StartRun(descriptors, program, failure);
    if (run.channel.Get() < 0) return failure;
    channel_ = run.channel.Release();
    link_ = run.link.Release();
    guard_ = run.guard;
    running_ = true;
    return {};
}

// Takes one report: false once the guard has gone.
bool ProcessTree::TakeReport() noexcept {
    guard::Report report{};
    if (!guard::ReadExactly(channel_, &report, sizeof report)) {
        gone_ = true;
        return false;
    }
    if (report.kind == guard::ReportKind::NotStarted) notStarted_ = report.value != 0 ? report.value : ENOENT;
    if (report.kind == guard::ReportKind::Ended) {
        ended_ = true;
        exitCode_ = report.value;
    }
    if (report.kind == guard::ReportKind::AllEnded) allEnded_ = true;
    if (report.kind == guard::ReportKind::Reaped) {
        reaped_ = true;
        exitCode_ = report.value;
    }
    return true;
}

ProcessTree::Wake ProcessTree::Wait(const StopSignal* stop, std::optional<std::chrono::milliseconds> timeout) noexcept {
    using Clock = std::chrono::steady_clock;
    const auto deadline = timeout ? Clock::now() + *timeout : Clock::time_point::max();
    for (;;) {
        if (ended_ || gone_ || notStarted_ != 0) return Wake::Ended;
        pollfd waitables[2] = {{channel_, POLLIN, 0}, {stop != nullptr ? stop->NativeWaitable() : -1, POLLIN, 0}};
        int wait = -1;
        if (timeout)
            wait = static_cast<int>(std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()),
                                             std::chrono::milliseconds(0))
                                        .count());
        const int ready = ::poll(waitables, 2, wait);
        if (ready < 0) return Wake::Other;  // a signal: the caller looks at everything again
        if (waitables[0].revents != 0) {
            TakeReport();
            continue;
        }
        if (stop != nullptr && stop->IsRequested()) return Wake::Other;
        if (Clock::now() >= deadline) return Wake::Other;
    }
}

void ProcessTree::WaitUntilAllEnded(std::chrono::milliseconds timeout, const StopSignal* hurry) noexcept {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    while (!allEnded_ && !gone_ && notStarted_ == 0) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= std::chrono::milliseconds(0) || (hurry != nullptr && hurry->IsRequested())) return;
        pollfd waitables[2] = {{channel_, POLLIN, 0}, {hurry != nullptr ? hurry->NativeWaitable() : -1, POLLIN, 0}};
        if (::poll(waitables, 2, static_cast<int>(left.count())) > 0 && waitables[0].revents != 0) TakeReport();
    }
}

void ProcessTree::Terminate() noexcept {
    if (running_) SendCommand(channel_, guard::Command::Terminate);
}

ProcessTree::Exit ProcessTree::Reap() noexcept {
    Exit exit;
    // At the usual end the guard has already said, in the write that told
    // of the leader's end, that nothing is left: no command, no answer.
    while (!allEnded_ && !gone_ && notStarted_ == 0 && HasReport(channel_)) TakeReport();
    const bool nothingLeft = ended_ && allEnded_;
    if (!nothingLeft && notStarted_ == 0) {
        SendCommand(channel_, guard::Command::Reap);
        while (!reaped_ && notStarted_ == 0 && TakeReport()) {}
    }
    // A run that came back unanswered may never have had a reaper: the
    // guard then said on the link why the system refused it one.
    bool noReaper = false;
    if (gone_ && !ended_ && notStarted_ == 0) {
        notStarted_ = GuardConnection::ReaperRefusal(link_);
        noReaper = notStarted_ != 0;
    }
    if (notStarted_ != 0) {
        exit.notStarted = SystemMessage(static_cast<unsigned long>(notStarted_));
    } else if (reaped_ || nothingLeft || ended_) {
        // Ended, then the channel closed: a reaper told to end (its guard
        // went) leaves only once it has killed what was left of the run.
        exit.code = exitCode_;
    } else {
        // A reaper killed on its own (the OOM killer picks the largest
        // process) leaves the guard and every other run as they were.
        exit.lost = GuardConnection::OfThisProcess().GuardRuns(guard_)
                        ? "the process guard's reaper of the run ended before it reported the program's end"
                        : "the process guard ended before it reported the program's end";
    }
    ::close(channel_);
    channel_ = -1;
    // Nothing of the run is left: its reaper is free for the next.
    OwnedDescriptor link(link_);
    link_ = -1;
    if (!noReaper && (!gone_ || notStarted_ != 0)) GuardConnection::OfThisProcess().GiveBack(std::move(link));
    running_ = false;
    return exit;
}

ProcessTree::~ProcessTree() {
    if (running_) Reap();
}

}  // namespace tamberlo
