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

private:
    HANDLE handle_;
};

HANDLE OpenStream(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const std::string name = path.empty() ? "NUL" : path;
    const HANDLE handle = ::CreateFileA(name.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
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

struct ChildProcess::Native {
    Native() = default;
    Native(const Native&) = delete;
    Native& operator=(const Native&) = delete;
    ~Native() {
        if (process != nullptr) ::CloseHandle(process);
    }
    HANDLE process = nullptr;
    DWORD id = 0;
    bool waited = false;
};

ChildProcess::ChildProcess(const ChildLaunch& launch) : native_(std::make_unique<Native>()) {
    OwnedHandle input(OpenStream(launch.input, false));
    OwnedHandle output(OpenStream(launch.output, true));
    OwnedHandle error(OpenStream(launch.error, true));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();

    std::string environment = EnvironmentBlock(launch);
    std::string commandLine = launch.commandLine.empty() ? WindowsCommandLine(launch.arguments) : launch.commandLine;
    if (commandLine.empty()) throw std::runtime_error("nothing to start");
    PROCESS_INFORMATION started{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                          environment.empty() ? nullptr : environment.data(),
                          launch.directory.empty() ? nullptr : launch.directory.c_str(), &startup, &started)) {
        throw std::runtime_error("CreateProcessA failed (" + std::to_string(::GetLastError()) + "): " + commandLine);
    }
    ::CloseHandle(started.hThread);
    native_->process = started.hProcess;
    native_->id = started.dwProcessId;
}

ChildProcess::~ChildProcess() {
    if (native_->waited) return;
    ::TerminateProcess(native_->process, 1);
    ::WaitForSingleObject(native_->process, INFINITE);
}

ChildResult ChildProcess::Wait() {
    if (native_->waited) throw std::logic_error("the child has been waited for already");
    ::WaitForSingleObject(native_->process, INFINITE);
    native_->waited = true;
    DWORD code = 0;
    ::GetExitCodeProcess(native_->process, &code);
    ChildResult result;
    result.exitCode = static_cast<int>(code);
    // The process handle is still open, so its id cannot go to another
    // process while its children are looked for. Wine may list a child that
    // has ended for a moment longer: only one still there after two seconds
    // outlived the program (the tests' SAS processes that must not outlive
    // it sleep far longer).
    result.leftProcesses = !reliability::ChildProcessesOf(native_->id).empty();
    for (int look = 0; result.leftProcesses && look < 20; ++look) {
        ::Sleep(100);
        result.leftProcesses = !reliability::ChildProcessesOf(native_->id).empty();
    }
    return result;
}

}  // namespace tamberlo::test
