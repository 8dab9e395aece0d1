// The guard's wire: messages that are short, oversized, of no known kind
// or of the other channel, sent to the guard on its control socket and to
// a reaper on its link and run channel. Each is refused with a line that
// says why; the guard and the reaper serve on, and end with nothing left.

#include "ProcessProbe.h"
#include "RunFolderTest.h"
#include "TestSupport.h"
#include "guard/wire/ControlMessages.h"
#include "guard/wire/Framing.h"
#include "guard/wire/ReaperMessages.h"
#include "guard/wire/RunProgram.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <string>
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace tamberlo;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

struct SocketPair {
    int mine = -1;
    int theirs = -1;
    explicit SocketPair(int type) {
        int ends[2];
        if (::socketpair(AF_UNIX, type | SOCK_CLOEXEC, 0, ends) == 0) {
            mine = ends[0];
            theirs = ends[1];
        }
    }
    ~SocketPair() {
        if (mine >= 0) ::close(mine);
        if (theirs >= 0) ::close(theirs);
    }
    void CloseTheirs() {
        ::close(theirs);
        theirs = -1;
    }
};

template <typename Kind>
std::string Message(Kind kind, const std::string& rest = {}) {
    const auto number = static_cast<std::uint32_t>(kind);
    return std::string(reinterpret_cast<const char*>(&number), sizeof number) + rest;
}

// The guard started as the library starts it, serving this process, its
// standard error kept in `errors`.
class GuardProcess {
public:
    GuardProcess(const std::string& token, const std::string& errors) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, control_.theirs, guard::ControlDescriptor);
        posix_spawn_file_actions_adddup2(&actions, link_.theirs, guard::FirstLinkDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const std::string served = std::to_string(::getpid());
        char* argv[] = {const_cast<char*>("tamberlo-guard"), const_cast<char*>(served.c_str()),
                        const_cast<char*>(token.c_str()), nullptr};
        if (::posix_spawn(&pid_, TAMBERLO_GUARD_EXE, &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        control_.CloseTheirs();
        link_.CloseTheirs();
    }
    ~GuardProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Started() const { return pid_ > 0; }
    int Control() const { return control_.mine; }
    int FirstLink() const { return link_.mine; }

    // Closes the control socket and the first link, as the library does at
    // its exit, and waits (long, never for ever) for the guard's exit status.
    int End() {
        ::close(control_.mine);
        control_.mine = -1;
        ::close(link_.mine);
        link_.mine = -1;
        int status = 0;
        for (int wait = 0; wait < 3000; ++wait) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;  // hangs
    }

private:
    SocketPair control_{SOCK_SEQPACKET};
    SocketPair link_{SOCK_SEQPACKET};
    pid_t pid_ = -1;
};

// A run sent on `link`: this end of its run channel, -1 when it could not be sent.
int SendRun(int link) {
    SocketPair channel(SOCK_STREAM);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const int here = ::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int passed[guard::StartRunDescriptors] = {channel.theirs, null, null, null, here};
    const std::string start = Message(guard::LinkKind::StartRun);
    const int error = guard::SendWithDescriptors(link, start.data(), start.size(), passed, guard::StartRunDescriptors);
    ::close(null);
    ::close(here);
    if (error != 0) return -1;
    const int mine = channel.mine;
    channel.mine = -1;
    return mine;
}

// A run sent on `link` whose channel then carries `bytes`: the reports that
// came back until the run was over (or, with `cut`, the channel was shut
// at once as by a library that died: until the reaper closed it).
std::vector<guard::Report> RunWith(int link, const std::string& bytes, bool cut = false) {
    std::vector<guard::Report> reports;
    const int channel = SendRun(link);
    if (channel < 0) return reports;
    guard::WriteAll(channel, bytes.data(), bytes.size());
    if (cut) ::shutdown(channel, SHUT_WR);
    guard::Report report{};
    while (guard::ReadExactly(channel, &report, sizeof report)) {
        reports.push_back(report);
        if (report.kind == guard::ReportKind::NotStarted || report.kind == guard::ReportKind::AllEnded) break;
    }
    ::close(channel);
    return reports;
}

std::string Program(const std::vector<std::string>& arguments) {
    guard::RunProgram program;
    program.arguments = arguments;
    program.candidates = {arguments.front()};
    return guard::EncodeProgram(program);
}

std::string Header(std::uint32_t bytes, std::uint32_t arguments) {
    const guard::RunHeader header{bytes, 0, arguments, 0, 0};
    return std::string(reinterpret_cast<const char*>(&header), sizeof header);
}

bool Ended(const std::vector<guard::Report>& reports, int code) {
    return !reports.empty() && reports.front().kind == guard::ReportKind::Ended && reports.front().value == code;
}

// On a run channel: a program too long or whose texts do not add up is
// answered as not started; one cut short, or a byte that is no command,
// is passed over. Each is said on the guard's standard error.
const char* const ProgramRefusals[] = {
    "run channel: refused a message: the program is longer than 8388608 bytes",
    "run channel: refused a message: the program's texts do not make up what its header counts",
    "run channel: refused a message: it closed before the program was whole",
    "run channel: refused a message: the byte 88 is no command"};

void SendMalformedPrograms(int link) {
    const std::vector<guard::Report> tooLong = RunWith(link, Header(0xFFFFFFFFU, 1));
    ASSERT_EQ(tooLong.size(), 1U);
    EXPECT_EQ(tooLong[0].kind, guard::ReportKind::NotStarted);
    EXPECT_EQ(tooLong[0].value, E2BIG);
    const std::vector<guard::Report> malformed = RunWith(link, Header(4, 3) + "abcd");
    ASSERT_EQ(malformed.size(), 1U);
    EXPECT_EQ(malformed[0].value, EPROTO);
    EXPECT_THAT(RunWith(link, Header(100, 1) + "cut", true), IsEmpty());
    EXPECT_TRUE(Ended(RunWith(link, Program({"/bin/true"}) + "X"), 0));
}

// A run on `link` whose program is cut short while its channel stays open,
// once the reaper has read what came (it then waits in the program's
// read): this end of its channel, -1 when it could not be sent.
int StalledRun(int link) {
    const int stalled = SendRun(link);
    if (stalled < 0) return stalled;
    guard::WriteAll(stalled, "ab", 2);
    int unread = 2;
    for (int wait = 0; wait < 3000 && ::ioctl(stalled, SIOCOUTQ, &unread) == 0 && unread > 0; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(unread, 0);
    return stalled;
}

class GuardWire : public test::RunFolderTest {};

}  // namespace

TEST_F(GuardWire, MalformedMessagesAreRefusedAndTheGuardAndItsReapersServeOn) {
    const std::string token = "wiretest";
    const std::string errors = Work("guard-errors.txt");
    GuardProcess guardProcess(token, errors);
    ASSERT_TRUE(guardProcess.Started());
    // Named for this process's runs: the guard removes it once told of the folder and left unclean.
    const std::string runFolder = Temp() + guard::FolderPrefix + "_" + token + "_1";
    ASSERT_EQ(::mkdir(runFolder.c_str(), 0700), 0);

    enum class To { Guard, Reaper };
    struct Case {
        const char* what;
        To to;
        std::string bytes;
        int descriptors;  // passed with it: the null device
        std::string refusal;
    };
    const std::string longest(guard::MaxControlMessage + 1, '/');
    const Case cases[] = {
        {"short", To::Guard, "\x02", 0,
         "control socket: refused a message: it is shorter than a request (1 byte, 0 descriptors)"},
        {"empty", To::Guard, "", 0,
         "control socket: refused a message: it is shorter than a request (0 bytes, 0 descriptors)"},
        {"oversized", To::Guard, Message(guard::ControlKind::SweepFolders, longest), 0,
         "control socket: refused a message: it is longer than any request (more than 4100 bytes or 5 descriptors)"},
        {"unknown", To::Guard, Message(99U), 0, "control socket: refused a message: its kind 99 is no request's"},
        {"out of order", To::Guard, Message(guard::LinkKind::StartRun), 5,
         "control socket: refused a message: a StartRun request belongs on a reaper's link, not on the control socket"},
        {"no link", To::Guard, Message(guard::ControlKind::NewReaper), 0,
         "control socket: refused a message: a NewReaper request is one link and nothing else (4 bytes, 0 descriptors)"},
        {"relative folder", To::Guard, Message(guard::ControlKind::SweepFolders, "tmp/"), 0,
         "control socket: refused a message: a SweepFolders request names an absolute folder ending in '/' and "
         "passes nothing (8 bytes, 0 descriptors)"},
        {"short", To::Reaper, std::string("\x01\x00", 2), 0,
         "reaper's link: refused a message: it is shorter than a request (2 bytes, 0 descriptors)"},
        {"oversized", To::Reaper, Message(guard::LinkKind::StartRun, std::string(100, 'x')), 5,
         "reaper's link: refused a message: it is longer than any request (more than 4 bytes or 5 descriptors)"},
        {"unknown", To::Reaper, Message(77U), 1, "reaper's link: refused a message: its kind 77 is no request's"},
        {"out of order", To::Reaper, Message(guard::ControlKind::NewReaper), 1,
         "reaper's link: refused a message: a NewReaper request belongs on the control socket, not on a reaper's link"},
        {"too few descriptors", To::Reaper, Message(guard::LinkKind::StartRun), 2,
         "reaper's link: refused a message: a StartRun request is its kind and 5 descriptors (4 bytes, 2 descriptors)"},
        {"the guard's word to the library", To::Reaper, Message(guard::LinkKind::NoReaper), 0,
         "reaper's link: refused a message: a NoReaper message goes from the guard to the library, not to a reaper"},
    };
    const int null = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const std::vector<int> nulls(5, null);
    for (const Case& c : cases) {
        const int socket = c.to == To::Guard ? guardProcess.Control() : guardProcess.FirstLink();
        EXPECT_EQ(guard::SendWithDescriptors(socket, c.bytes.data(), c.bytes.size(), nulls.data(),
                                             static_cast<std::size_t>(c.descriptors)),
                  0)
            << c.what;
    }
    ::close(null);

    SendMalformedPrograms(guardProcess.FirstLink());

    // Both serve on: a run on the first reaper, a new reaper asked of the
    // guard and a run on it.
    SocketPair newLink(SOCK_SEQPACKET);
    const std::string newReaper = Message(guard::ControlKind::NewReaper);
    ASSERT_EQ(
        guard::SendWithDescriptors(guardProcess.Control(), newReaper.data(), newReaper.size(), &newLink.theirs, 1), 0);
    newLink.CloseTheirs();
    EXPECT_TRUE(Ended(RunWith(newLink.mine, Program({"/bin/sh", "-c", "exit 3"})), 3));
    EXPECT_TRUE(Ended(RunWith(guardProcess.FirstLink(), Program({"/bin/sh", "-c", "exit 4"})), 4));

    // Told of the folder, never told that this process is clean: at its end
    // the guard removes the run folder; nothing of it runs on.
    const std::string sweep = guard::SweepRequest(Temp());
    ASSERT_EQ(guard::SendWithDescriptors(guardProcess.Control(), sweep.data(), sweep.size(), nullptr, 0), 0);
    // A run whose program never comes whole, its channel kept open, does
    // not keep the reaper (and so the guard) from ending.
    const int stalled = StalledRun(newLink.mine);
    ASSERT_GE(stalled, 0);
    ::close(newLink.mine);
    newLink.mine = -1;
    EXPECT_EQ(guardProcess.End(), 0) << "the guard did not end well";
    ::close(stalled);
    EXPECT_THAT(reliability::ChildProcesses(), IsEmpty());
    EXPECT_FALSE(test::Exists(runFolder));

    const std::string said = test::ReadFile(errors);
    for (const Case& c : cases) EXPECT_THAT(said, HasSubstr("tamberlo-guard: " + c.refusal + "\n")) << c.what;
    for (const char* line : ProgramRefusals)
        EXPECT_THAT(said, HasSubstr(std::string("tamberlo-guard: ") + line + "\n"));
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'),
              static_cast<long>(std::size(cases) + std::size(ProgramRefusals)))
        << said;
}
