#include "ProcessProbe.h"
#include "TestSupport.h"
#include "host/ExecCmd.h"
#include "host/StopSignal.h"
#include "host/SystemError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tamberlo;
using testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string ProbeCommand(const std::string& report, int waitMs = 0) {
    return Quoted(CHILD_PROBE) + " " + Quoted(report) + (waitMs ? " " + std::to_string(waitMs) : "");
}

// Options whose callback counts its calls in `ticks`, every `interval`.
ExecCmd::Options Counting(int& ticks, std::chrono::milliseconds interval) {
    ExecCmd::Options options;
    options.whileWaiting = [&ticks] { ++ticks; };
    options.pollInterval = interval;
    return options;
}

// A wait that took this long waited for something it should not have (a
// tick, a sleeping child); far above any delay a loaded machine makes.
constexpr milliseconds Slow{10000};
// What a child sleeps for when it must be stopped: twice Slow.
constexpr int Asleep = 20000;

#ifndef _WIN32
// True when nothing this process started runs or waits to be collected
// (the process guard, which stays for the next run, apart).
bool NoChildLeft() { return reliability::ChildProcesses().empty(); }

// From here on this process's process-descriptor calls fail with ENOSYS, as
// on a kernel older than 5.3. False when the filter could not be installed.
bool DenyProcessDescriptors() {
#ifdef SYS_pidfd_open
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_pidfd_open, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0 &&
           ::syscall(SYS_pidfd_open, ::getpid(), 0) < 0 && errno == ENOSYS;
#else
    return true;
#endif
}
#endif

}  // namespace

TEST(ExecCmd, ReturnsOnlyAfterTheChildHasEnded) {
    test::TempFolder dir;
    // The child writes its report only after waiting: if Run returned early,
    // the report would not be there yet.
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 400));
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended);
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, ChildSeesParentEnvironmentCurrentFolderAndArguments) {
    test::TempFolder dir;
    test::ScopedEnvironment probe("TAMBERLO_PROBE", "from the parent");
    ExecCmd().Run(ProbeCommand(dir / "report.txt") + " \"two words\" a\\\\\\\"b");
    const std::string report = test::ReadFile(dir / "report.txt");
    EXPECT_THAT(report, HasSubstr("env=from the parent\n"));
    EXPECT_THAT(report, HasSubstr("cwd=" + std::filesystem::current_path().string() + "\n"));
    EXPECT_THAT(report, HasSubstr("arg=two words\narg=a\\\"b\n"));
}

#ifdef _WIN32
TEST(ExecCmd, ChildIsAskedForAHiddenWindowAtNormalPriority) {
    test::TempFolder dir;
    ExecCmd().Run(ProbeCommand(dir / "report.txt"));
    const std::string report = test::ReadFile(dir / "report.txt");
    EXPECT_THAT(report, HasSubstr("flags=1\n"));      // STARTF_USESHOWWINDOW
    EXPECT_THAT(report, HasSubstr("show=0\n"));       // SW_HIDE
    EXPECT_THAT(report, HasSubstr("priority=32\n"));  // NORMAL_PRIORITY_CLASS
}
#endif

TEST(ExecCmd, AMissingProgramIsReportedAtOnceWithTheSystemsReason) {
    test::TempFolder dir;
    const ExecCmd::Result result = ExecCmd().Run(Quoted(dir / "no-such-program.exe") + " -x");
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::NotStarted);
#ifdef _WIN32
    const unsigned long fileNotFound = 2;  // ERROR_FILE_NOT_FOUND
#else
    const unsigned long fileNotFound = ENOENT;
#endif
    EXPECT_EQ(result.failure, SystemMessage(fileNotFound));
}

TEST(ExecCmd, AnEmptyCommandLineIsNotStarted) { EXPECT_EQ(ExecCmd().Run("").outcome, ExecCmd::Outcome::NotStarted); }

TEST(ExecCmd, TimeLimitStopsTheChildAndReportsIt) {
    test::TempFolder dir;
    int ticks = 0;
    ExecCmd::Options options = Counting(ticks, milliseconds(50));
    options.timeLimit = milliseconds(300);
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 20000), options);
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::TimedOut);
    EXPECT_GT(ticks, 0);
    // Stopped before it could write its report.
    EXPECT_FALSE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, WhileWaitingRunsUntilTheChildEndsOnItsOwn) {
    test::TempFolder dir;
    int ticks = 0;
    const ExecCmd::Options options = Counting(ticks, milliseconds(20));
    const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", 300), options);
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended);
    EXPECT_GT(ticks, 0);
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
}

TEST(ExecCmd, LeavesNoHandleOpenWhetherTheChildEndsIsStoppedOrNeverStarts) {
    test::TempFolder dir;
    // Every kind of run, once: an ending, a time limit, a stop request, a
    // program that is not there, a callback that throws.
    const auto everyKindOfRun = [&] {
        ExecCmd().Run(ProbeCommand(dir / "report.txt"));
        ExecCmd::Options stop;
        stop.timeLimit = std::chrono::milliseconds(50);
        ExecCmd().Run(ProbeCommand(dir / "slow.txt", 5000), stop);
        StopSignal stopSoon;
        ExecCmd::Options stopping;
        stopping.stop = &stopSoon;
        stopping.pollInterval = milliseconds(1);
        stopping.whileWaiting = [&] { stopSoon.Request(); };
        ExecCmd().Run(ProbeCommand(dir / "slow.txt", 5000), stopping);
        ExecCmd().Run("\"" + dir / "missing.exe" + "\"");
        ExecCmd::Options throwing;
        throwing.pollInterval = milliseconds(1);
        throwing.whileWaiting = [] { throw std::runtime_error("from the callback"); };
        EXPECT_THROW(ExecCmd().Run(ProbeCommand(dir / "slow.txt", 5000), throwing), std::runtime_error);
    };
    everyKindOfRun();  // what the system makes once on first use is not a leak
    const std::size_t before = reliability::OpenHandleCount();
    for (int i = 0; i < 5; ++i) everyKindOfRun();
    EXPECT_EQ(reliability::OpenHandleCount(), before);
}

TEST(ExecCmd, ReturnsTheChildsExitCodeWhetherItWaitsPlainlyOrWithControls) {
    test::TempFolder dir;
    ExecCmd::Options controls;
    controls.timeLimit = milliseconds(60000);
    controls.whileWaiting = [] {};
    for (const int code : {0, 1, 2, 3, 5, 200}) {
        test::ScopedEnvironment exitCode("TAMBERLO_PROBE_EXIT", std::to_string(code));
        for (const ExecCmd::Options& options : {ExecCmd::Options(), controls}) {
            const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt"), options);
            EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended) << code;
            EXPECT_EQ(result.exitCode, code);
        }
    }
}

// Nothing waits for the pace of the callbacks: a child that ends, a time
// limit and a stop request each end the wait at once, even with an hour
// between ticks.
TEST(ExecCmd, TheChildsEndATimeLimitAndAStopRequestEachEndTheWaitAtOnce) {
    test::TempFolder dir;
    StopSignal stop;
    struct Case {
        const char* name;
        int childWaitMs;
        std::optional<milliseconds> timeLimit;
        bool requestStop;
        ExecCmd::Outcome outcome;
    };
    for (const Case& c : {Case{"ends", 300, std::nullopt, false, ExecCmd::Outcome::Ended},
                          Case{"time limit", Asleep, milliseconds(300), false, ExecCmd::Outcome::TimedOut},
                          Case{"stop request", Asleep, std::nullopt, true, ExecCmd::Outcome::Stopped}}) {
        int ticks = 0;
        ExecCmd::Options options = Counting(ticks, std::chrono::hours(1));
        options.timeLimit = c.timeLimit;
        options.stop = &stop;
        std::thread requester;
        if (c.requestStop) {
            requester = std::thread([&] {
                std::this_thread::sleep_for(milliseconds(300));
                stop.Request();
            });
        }
        const auto start = Clock::now();
        const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", c.childWaitMs), options);
        const auto waited = Clock::now() - start;
        if (requester.joinable()) requester.join();
        EXPECT_EQ(result.outcome, c.outcome) << c.name;
        EXPECT_LT(waited, Slow) << c.name;
        EXPECT_EQ(ticks, 0) << c.name;
        EXPECT_EQ(test::Exists(dir / "report.txt"), c.outcome == ExecCmd::Outcome::Ended) << c.name;
        std::filesystem::remove(dir / "report.txt");
    }
}

TEST(ExecCmd, AStopRequestedBeforehandStartsNothing) {
    test::TempFolder dir;
    StopSignal stop;
    stop.Request();
    ExecCmd::Options options;
    options.stop = &stop;
    // A program that does not exist would be NotStarted, had it been tried.
    EXPECT_EQ(ExecCmd().Run(Quoted(dir / "no-such-program.exe"), options).outcome,
              ExecCmd::Outcome::StoppedBeforeStart);
}

TEST(ExecCmd, ACallbackThatThrowsLeavesTheChildStoppedAndReapedAndPassesOn) {
    test::TempFolder dir;
    ExecCmd::Options options;
    options.pollInterval = milliseconds(20);
    options.whileWaiting = [] { throw std::runtime_error("from the callback"); };
    const auto start = Clock::now();
    try {
        ExecCmd().Run(ProbeCommand(dir / "report.txt", Asleep), options);
        FAIL() << "nothing thrown";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "from the callback");
    }
    EXPECT_LT(Clock::now() - start, Slow);
#ifndef _WIN32
    EXPECT_TRUE(NoChildLeft());
#endif
}

// A process the program starts out of its reach (POSIX: setsid; Windows:
// CREATE_NEW_PROCESS_GROUP) ends with the run, whether the program ends or
// is stopped once that process runs: it would write its file 1.5 s later.
TEST(ExecCmd, AGrandchildThatLeftTheProgramsGroupEndsWithTheRun) {
    test::TempFolder dir;
    for (const int childWaitMs : {0, Asleep}) {
        const std::string late = dir / ("late" + std::to_string(childWaitMs) + ".txt");
        const test::ScopedEnvironment detached("TAMBERLO_PROBE_DETACHED", late);
        ExecCmd::Options options;
        options.pollInterval = milliseconds(20);
        StopSignal stop;
        options.stop = &stop;
        if (childWaitMs != 0) {
            options.whileWaiting = [&] {
                if (test::Exists(late + ".started")) stop.Request();
            };
        }
        const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt", childWaitMs), options);
        EXPECT_EQ(result.outcome, childWaitMs == 0 ? ExecCmd::Outcome::Ended : ExecCmd::Outcome::Stopped);
        std::this_thread::sleep_for(milliseconds(2500));
        EXPECT_FALSE(test::Exists(late)) << childWaitMs;
    }
    std::this_thread::sleep_for(milliseconds(1000));
    EXPECT_FALSE(test::Exists(dir / "late0.txt"));
}

#ifndef _WIN32
TEST(ExecCmd, WithoutProcessDescriptorsTheWaitStillEndsWithTheChildAndOnRequest) {
    test::TempFolder dir;
    // In a process of its own, which keeps the filter to itself. It exits
    // with a bit set for each case that went wrong.
    const pid_t tester = ::fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        if (!DenyProcessDescriptors()) ::_exit(64);
        int failures = 0;
        ::setenv("TAMBERLO_PROBE_EXIT", "7", 1);
        ExecCmd::Options ticking;
        ticking.whileWaiting = [] {};
        ticking.pollInterval = std::chrono::hours(1);
        const ExecCmd::Result ended = ExecCmd().Run(ProbeCommand(dir / "report.txt", 200), ticking);
        if (ended.outcome != ExecCmd::Outcome::Ended || ended.exitCode != 7) failures |= 1;

        StopSignal stop;
        ticking.stop = &stop;
        std::thread requester([&] {
            std::this_thread::sleep_for(milliseconds(200));
            stop.Request();
        });
        const auto start = Clock::now();
        const ExecCmd::Result stopped = ExecCmd().Run(ProbeCommand(dir / "slow.txt", Asleep), ticking);
        requester.join();
        if (stopped.outcome != ExecCmd::Outcome::Stopped) failures |= 2;
        if (Clock::now() - start >= Slow) failures |= 4;
        if (!NoChildLeft()) failures |= 8;
        ::_exit(failures);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(tester, &status, 0), tester);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "64: no filter; 1: end, 2: stop, 4: slow, 8: a child left";
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
}
#endif

#ifndef _WIN32
// SIGCHLD ignored until it goes: the kernel then reaps every child itself.
class ChildrenReapedByTheKernel {
public:
    ChildrenReapedByTheKernel() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGCHLD, &ignore, &before_);
    }
    ~ChildrenReapedByTheKernel() { ::sigaction(SIGCHLD, &before_, nullptr); }
    ChildrenReapedByTheKernel(const ChildrenReapedByTheKernel&) = delete;
    ChildrenReapedByTheKernel& operator=(const ChildrenReapedByTheKernel&) = delete;

private:
    struct sigaction before_ {};
};

// The program is the guard's child, not this process's: a host that lets the
// kernel reap its children still gets the program's own exit code, never
// an end with code 0.
TEST(ExecCmd, AHostThatLetsTheKernelReapItsChildrenStillGetsTheExitCode) {
    test::TempFolder dir;
    test::ScopedEnvironment exitCode("TAMBERLO_PROBE_EXIT", "5");
    ExecCmd::Result result;
    {
        ChildrenReapedByTheKernel reaped;
        result = ExecCmd().Run(ProbeCommand(dir / "report.txt"));
    }
    EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended);
    EXPECT_EQ(result.exitCode, 5);
    EXPECT_TRUE(test::Exists(dir / "report.txt"));
    EXPECT_TRUE(NoChildLeft());
}

// Someone killed the guard, or the reaper kept for the next run, between
// two runs: the next run is served by a new one and gets its own exit code.
TEST(ExecCmd, AGuardOrFreeReaperKilledBetweenRunsIsReplaced) {
    test::TempFolder dir;
    for (const bool guard : {false, true}) {
        test::ScopedEnvironment exitCode("TAMBERLO_PROBE_EXIT", "3");
        const ExecCmd::Result first = ExecCmd().Run(ProbeCommand(dir / "report.txt"));
        ASSERT_EQ(first.exitCode, 3) << first.failure;
        const std::vector<unsigned long> before = reliability::GuardProcesses();
        ASSERT_GE(before.size(), 2U) << "no guard with a reaper";
        ::kill(static_cast<pid_t>(guard ? before.front() : before.back()), SIGKILL);
        for (int wait = 0; wait < 200 && reliability::GuardProcesses() == before; ++wait)
            std::this_thread::sleep_for(milliseconds(10));

        test::ScopedEnvironment otherCode("TAMBERLO_PROBE_EXIT", "5");
        const ExecCmd::Result result = ExecCmd().Run(ProbeCommand(dir / "report.txt"));
        EXPECT_EQ(result.outcome, ExecCmd::Outcome::Ended) << result.failure;
        EXPECT_EQ(result.exitCode, 5) << (guard ? "the guard" : "the reaper") << " was killed";
        EXPECT_TRUE(NoChildLeft());
    }
}

TEST(ExecCmd, ConsoleFileTakesStandardOutputAndErrorAndIsNeverReused) {
    test::TempFolder dir;
    ExecCmd::Options options;
    options.consoleFile = dir / "console.txt";
    const std::string cmdline = "/bin/sh -c \"echo out; echo err >&2\"";
    EXPECT_EQ(ExecCmd().Run(cmdline, options).outcome, ExecCmd::Outcome::Ended);
    EXPECT_EQ(test::ReadFile(options.consoleFile), "out\nerr\n");

    // A file (or link) already there is not written through: not started.
    const ExecCmd::Result again = ExecCmd().Run(cmdline, options);
    EXPECT_EQ(again.outcome, ExecCmd::Outcome::NotStarted);
    EXPECT_FALSE(again.failure.empty());
    EXPECT_EQ(test::ReadFile(options.consoleFile), "out\nerr\n");
}
#endif
