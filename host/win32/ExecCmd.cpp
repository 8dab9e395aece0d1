#include "host/ExecCmd.h"

#include "host/SystemError.h"
#include "host/win32/Handle.h"

#include <windows.h>

#include <vector>

namespace tamberlo {

ExecCmd::Result ExecCmd::Run(const std::string& cmdline, const Options& options) {
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
    // Closed on every way out, the process handle first, then the thread's
    // (owners end in reverse order).
    win32::Handle thread(info.hThread);
    win32::Handle process(info.hProcess);

    const auto ended = [&process] {
        Result result;
        DWORD code = 0;
        if (::GetExitCodeProcess(process.get(), &code)) result.exitCode = static_cast<int>(code);
        return result;
    };
    if (!options.timeLimit && !options.whileWaiting && !options.stopRequested) {
        ::WaitForSingleObject(process.get(), INFINITE);
        return ended();
    }

    const auto deadline = options.timeLimit ? std::chrono::steady_clock::now() + *options.timeLimit
                                            : std::chrono::steady_clock::time_point::max();
    const DWORD poll = static_cast<DWORD>(options.pollInterval.count());
    while (::WaitForSingleObject(process.get(), poll) == WAIT_TIMEOUT) {
        const bool timedOut = std::chrono::steady_clock::now() >= deadline;
        if (timedOut || (options.stopRequested && options.stopRequested())) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), INFINITE);
            return {timedOut ? Outcome::TimedOut : Outcome::Stopped, {}};
        }
        if (options.whileWaiting) options.whileWaiting();
    }
    return ended();
}

}  // namespace tamberlo
