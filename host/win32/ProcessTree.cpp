#include "host/ProcessTree.h"

#include "host/StopSignal.h"
#include "host/SystemError.h"
#include "host/win32/Handle.h"

#include <windows.h>

#include <vector>

namespace tamberlo {

namespace {

// A job that kills every process in it once its last handle is closed: when
// the tree is reaped, and when the host process ends however it ends.
win32::Handle MakeKillingJob() {
    win32::Handle job(::CreateJobObjectW(nullptr, nullptr));
    if (!job) return job;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) job.reset();
    return job;
}

}  // namespace

// A job object costs nothing ahead of the run.
void ProcessTree::Prepare() noexcept {}

void ProcessTree::LetGo() noexcept {}

std::string ProcessTree::Start(const std::string& cmdline, const std::string& /*consoleFile*/,
                               std::chrono::milliseconds /*gracePeriod*/) {
    win32::Handle job = MakeKillingJob();
    if (!job) return SystemMessage(::GetLastError());

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // CreateProcessA may write into the command line: hand it a copy.
    std::vector<char> writable(cmdline.begin(), cmdline.end());
    writable.push_back('\0');
    // Suspended until it is in the job, so that nothing it starts escapes.
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &info)) {
        return SystemMessage(::GetLastError());
    }
    const win32::Handle thread(info.hThread);
    win32::Handle process(info.hProcess);
    // In a job of the host's that takes no nested job (before Windows 8) the
    // program still runs, and a stop ends only the program itself.
    if (!::AssignProcessToJobObject(job.get(), process.get())) job.reset();
    if (::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const DWORD failure = ::GetLastError();
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), INFINITE);
        return SystemMessage(failure);
    }
    job_ = job.release();
    process_ = process.release();
    running_ = true;
    return {};
}

ProcessTree::Wake ProcessTree::Wait(const StopSignal* stop, std::optional<std::chrono::milliseconds> timeout) noexcept {
    HANDLE waitables[2] = {process_, nullptr};
    DWORD count = 1;
    if (stop != nullptr) waitables[count++] = stop->NativeWaitable();
    const DWORD result =
        ::WaitForMultipleObjects(count, waitables, FALSE, timeout ? static_cast<DWORD>(timeout->count()) : INFINITE);
    if (result == WAIT_OBJECT_0) return Wake::Ended;
    // A failed wait (it cannot fail on handles this object owns) sleeps a
    // moment rather than let the caller spin.
    if (result == WAIT_FAILED) ::Sleep(1);
    return Wake::Other;
}

namespace {

void EndTree(HANDLE job, HANDLE process) noexcept {
    if (job != nullptr) {
        ::TerminateJobObject(job, 1);
    } else if (::WaitForSingleObject(process, 0) != WAIT_OBJECT_0) {
        ::TerminateProcess(process, 1);
    }
}

}  // namespace

void ProcessTree::Terminate() noexcept {
    if (running_) EndTree(job_, process_);
}

// Terminate ended the whole job at once: only the leader's end is awaited.
void ProcessTree::WaitUntilAllEnded(std::chrono::milliseconds timeout, const StopSignal* hurry) noexcept {
    HANDLE waitables[] = {process_, hurry != nullptr ? hurry->NativeWaitable() : nullptr};
    ::WaitForMultipleObjects(hurry != nullptr ? 2 : 1, waitables, FALSE, static_cast<DWORD>(timeout.count()));
}

ProcessTree::Exit ProcessTree::Reap() noexcept {
    Exit exit;
    EndTree(job_, process_);
    ::WaitForSingleObject(process_, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process_, &code)) {
        exit.code = static_cast<int>(code);
    } else {
        exit.lost = SystemMessage(::GetLastError());
    }
    ::CloseHandle(process_);
    if (job_ != nullptr) ::CloseHandle(job_);
    process_ = job_ = nullptr;
    running_ = false;
    return exit;
}

ProcessTree::~ProcessTree() {
    if (running_) Reap();
}

}  // namespace tamberlo
