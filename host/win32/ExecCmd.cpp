#include "host/ExecCmd.h"

#include "host/StopSignal.h"
#include "host/SystemError.h"
#include "host/WaitSchedule.h"
#include "host/win32/Handle.h"

#include <windows.h>

#include <vector>

namespace tamberlo {

namespace {

// The started process, which never outlives its owner: on a way out that has
// not seen it end (a callback that throws), it is terminated and waited for.
// The handle is closed on every way out, the process's first, then the
// thread's (owners end in reverse order).
class Child {
public:
    explicit Child(const PROCESS_INFORMATION& info) noexcept : thread_(info.hThread), process_(info.hProcess) {}
    ~Child() {
        if (!ended_) Stop();
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    HANDLE Process() const noexcept { return process_.get(); }

    // Blocks until the process has ended; returns its exit code.
    int Wait() noexcept {
        ::WaitForSingleObject(process_.get(), INFINITE);
        return ExitCode();
    }

    // True once the process has ended; `exitCode` then holds its code.
    bool HasEnded(int& exitCode) noexcept {
        if (::WaitForSingleObject(process_.get(), 0) != WAIT_OBJECT_0) return false;
        exitCode = ExitCode();
        return true;
    }

    // Terminates the process and waits for it; returns the code it ended with.
    int Stop() noexcept {
        ::TerminateProcess(process_.get(), 1);
        return Wait();
    }

private:
    int ExitCode() noexcept {
        ended_ = true;
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        return static_cast<int>(code);
    }

    win32::Handle thread_;
    win32::Handle process_;
    bool ended_ = false;
};

}  // namespace

ExecCmd::Result ExecCmd::Run(const std::string& cmdline, const Options& options) {
    if (options.stop != nullptr && options.stop->IsRequested()) return {Outcome::Stopped, {}};

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};

    // CreateProcessA may write into the command line: hand it a copy.
    std::vector<char> writable(cmdline.begin(), cmdline.end());
    writable.push_back('\0');

    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                          &startup, &info)) {
        return {Outcome::NotStarted, SystemMessage(::GetLastError())};
    }
    Child child(info);

    Result ended;
    if (!options.timeLimit && !options.whileWaiting && !options.stop && !options.stopRequested) {
        ended.exitCode = child.Wait();
        return ended;
    }

    HANDLE waitables[2] = {child.Process(), nullptr};
    DWORD count = 1;
    if (options.stop != nullptr) waitables[count++] = options.stop->NativeWaitable();

    WaitSchedule schedule(options.timeLimit, options.whileWaiting || options.stopRequested, options.pollInterval);
    for (;;) {
        if (child.HasEnded(ended.exitCode)) return ended;
        if (options.stop != nullptr && options.stop->IsRequested()) return {Outcome::Stopped, {}, child.Stop()};
        if (schedule.TimeIsUp()) return {Outcome::TimedOut, {}, child.Stop()};
        if (schedule.TickIsDue()) {
            if (options.stopRequested && options.stopRequested()) return {Outcome::Stopped, {}, child.Stop()};
            if (options.whileWaiting) options.whileWaiting();
            schedule.TickDone();
            continue;
        }
        const std::optional<std::chrono::milliseconds> wake = schedule.TimeToNextWake();
        // Whatever woke the wait, everything is looked at again; a failed
        // wait (it cannot fail on handles this call owns) sleeps a moment
        // rather than spin.
        if (::WaitForMultipleObjects(count, waitables, FALSE, wake ? static_cast<DWORD>(wake->count()) : INFINITE) ==
            WAIT_FAILED)
            ::Sleep(1);
    }
}

}  // namespace tamberlo
