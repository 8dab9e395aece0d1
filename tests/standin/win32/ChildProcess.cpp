#include "ChildProcess.h"

#include <windows.h>

#include <cstring>
#include <stdexcept>

namespace tamberlo::standin::test {

namespace {

// A handle where INVALID_HANDLE_VALUE means empty (CreateFileA's kind).
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// PROCESS_INFORMATION with an owner of both handles.
struct ProcessInformation : PROCESS_INFORMATION {
    ProcessInformation() : PROCESS_INFORMATION{} {}
    ~ProcessInformation() {
        if (hThread != nullptr) ::CloseHandle(hThread);
        if (hProcess != nullptr) ::CloseHandle(hProcess);
    }
    ProcessInformation(const ProcessInformation&) = delete;
    ProcessInformation& operator=(const ProcessInformation&) = delete;
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

// The test's environment block with the launch's variables in place.
std::string EnvironmentBlock(const ChildProcess::Environment& extra) {
    std::string block;
    char* strings = ::GetEnvironmentStringsA();
    for (const char* entry = strings; entry != nullptr && *entry != '\0'; entry += std::strlen(entry) + 1) {
        const std::string text = entry;
        // Names of the drive-directory entries ("=C:=C:\...") start with '='.
        const std::string name = Upper(text.substr(0, text.find('=', 1)));
        bool replaced = name.rfind("TAMBERLO_STANDIN_", 0) == 0;
        for (const auto& [key, value] : extra) replaced = replaced || Upper(key) == name;
        if (!replaced) block.append(text).push_back('\0');
    }
    if (strings != nullptr) ::FreeEnvironmentStringsA(strings);
    for (const auto& [key, value] : extra) block.append(key + "=" + value).push_back('\0');
    block.push_back('\0');
    return block;
}

}  // namespace

int ChildProcess::Run(const Launch& launch) {
    FileHandle input(OpenStream(launch.input, false));
    FileHandle output(OpenStream(launch.output, true));
    FileHandle error(OpenStream(launch.error, true));

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = output.get();
    startup.hStdError = error.get();

    std::string environment = EnvironmentBlock(launch.environment);
    std::string commandLine = launch.commandLine;
    ProcessInformation process;
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, environment.data(),
                          launch.directory.empty() ? nullptr : launch.directory.c_str(), &startup, &process)) {
        throw std::runtime_error("CreateProcessA failed (" + std::to_string(::GetLastError()) + "): " +
                                 launch.commandLine);
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

}  // namespace tamberlo::standin::test
