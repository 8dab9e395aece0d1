#include "ChildProcess.h"
#include "ProcessProbe.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace tamberlo::test {

namespace {

// A handle that may be empty (null or INVALID_HANDLE_VALUE), with an owner.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = nullptr) noexcept : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const noexcept { return handle_; }
    void reset(HANDLE handle) noexcept {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = handle;
    }

private:
    HANDLE handle_;
};

std::wstring Widened(const std::string& text, UINT codePage) {
    const int size = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

HANDLE OpenStream(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::string name = path.empty() ? "NUL" : path;
    const HANDLE handle =
        ::CreateFileA(name.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                      write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + name);
    return handle;
}

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// The test's environment block with the launch's variables in place; empty
// when the child inherits the test's own unchanged.
std::string EnvironmentBlock(const ChildLaunch& launch) {
    if (launch.environment.empty() && launch.dropPrefix.empty()) return {};
    const std::string dropPrefix = Upper(launch.dropPrefix);
    std::string block;
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string text = entry;
        // Names of the drive-directory entries ("=C:=C:\...") start with '='.
        const std::string name = Upper(text.substr(0, text.find('=', 1)));
        bool replaced = !dropPrefix.empty() && name.rfind(dropPrefix, 0) == 0;
        for (const auto& [key, value] : launch.environment) replaced = replaced || Upper(key) == name;
        if (!replaced) block.append(text).push_back('\0');
    }
    if (strings != nullptr) ::FreeEnvironmentStringsA(strings);
    for (const auto& [key, value] : launch.environment) block.append(key + "=" + value).push_back('\0');
    block.push_back('\0');
    return block;
}

}  // namespace

// The child and everything it starts run in a job that kills them all
// when it is closed, so that a failed test leaves no process of the tree.
struct ChildProcess::Native {
    OwnedHandle job;
    OwnedHandle process;
    DWORD id = 0;
    bool waited = false;
};

ChildProcess::ChildProcess(const ChildLaunch& launch) : native_(std::make_unique<Native>()) {
    OwnedHandle input(OpenStream(launch.input, false));
    OwnedHandle output(OpenStream(launch.output, true));
    OwnedHandle error(OpenStream(launch.error, true));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();

    native_->job.reset(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (native_->job.get() == nullptr ||
        !::SetInformationJobObject(native_->job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        throw std::runtime_error("no job object (" + std::to_string(::GetLastError()) + ")");

    std::string environment = EnvironmentBlock(launch);
    const std::string commandLine =
        launch.commandLine.empty() ? WindowsCommandLine(launch.arguments) : launch.commandLine;
    if (commandLine.empty()) throw std::runtime_error("nothing to start");
    // Arguments are UTF-8 text, as the command takes them; a whole command
    // line is ANSI, as Tamberlo passes it to SAS.
    std::wstring wideLine = Widened(commandLine, launch.commandLine.empty() ? CP_UTF8 : CP_ACP);
    const std::wstring directory = Widened(launch.directory, CP_ACP);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(nullptr, wideLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED,
                          environment.empty() ? nullptr : environment.data(),
                          directory.empty() ? nullptr : directory.c_str(), &startup, &started)) {
        throw std::runtime_error("CreateProcessW failed (" + std::to_string(::GetLastError()) + "): " + commandLine);
    }
    const OwnedHandle thread(started.hThread);
    native_->process.reset(started.hProcess);
    native_->id = started.dwProcessId;
    if (!::AssignProcessToJobObject(native_->job.get(), started.hProcess) ||
        ::ResumeThread(thread.get()) == static_cast<DWORD>(-1)) {
        const DWORD failure = ::GetLastError();
        ::TerminateProcess(started.hProcess, 1);
        native_->waited = true;
        throw std::runtime_error("the child cannot run in its job (" + std::to_string(failure) + ")");
    }
}

ChildProcess::~ChildProcess() {
    if (native_->waited) return;
    ::TerminateJobObject(native_->job.get(), 1);
    ::WaitForSingleObject(native_->process.get(), INFINITE);
}

ChildResult ChildProcess::Wait() {
    if (native_->waited) throw std::logic_error("the child has been waited for already");
    ::WaitForSingleObject(native_->process.get(), INFINITE);
    native_->waited = true;
    DWORD code = 0;
    ::GetExitCodeProcess(native_->process.get(), &code);
    ChildResult result;
    result.exitCode = static_cast<int>(code);
    // The process handle is still open, so its id cannot go to another
    // process while its children are looked for; the job counts the rest of
    // the tree, grandchildren included. Wine may list a child that has ended
    // for a moment longer: only one still there after two seconds outlived
    // the program (the tests' SAS processes that must not outlive it sleep
    // far longer).
    const auto treeLeft = [&] {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
        const bool counted = ::QueryInformationJobObject(native_->job.get(), JobObjectBasicAccountingInformation,
                                                         &accounting, sizeof accounting, nullptr) != FALSE;
        return (counted && accounting.ActiveProcesses > 0) || !reliability::ChildProcessesOf(native_->id).empty();
    };
    result.leftProcesses = treeLeft();
    for (int look = 0; result.leftProcesses && look < 20; ++look) {
        ::Sleep(100);
        result.leftProcesses = treeLeft();
    }
    return result;
}

}  // namespace tamberlo::test
