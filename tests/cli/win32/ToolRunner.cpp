#include "ToolRunner.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

namespace tamberlo::test {
namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string Quote(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes double only in front of a quote, which they escape.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    quoted.append(backslashes * 2, '\\');  // before the closing quote
    return quoted + "\"";
}

class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const noexcept { return handle_; }

private:
    HANDLE handle_;
};

HANDLE OpenInheritable(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         &security, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool HasLiveChildren(DWORD parent) {
    OwnedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent) return true;
    }
    return false;
}

}  // namespace

ToolResult RunTool(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingFolder, const std::string& scratchFolder,
                   const std::string& standardInput) {
    ToolResult result;
    const std::string inPath = scratchFolder + "stdin.bin";
    const std::string outPath = scratchFolder + "stdout.bin";
    const std::string errPath = scratchFolder + "stderr.bin";
    WriteFile(inPath, standardInput);

    std::string commandLine = Quote(program);
    for (const std::string& argument : arguments) commandLine += " " + Quote(argument);

    DWORD processId = 0;
    {
        OwnedHandle in(OpenInheritable(inPath, false));
        OwnedHandle out(OpenInheritable(outPath, true));
        OwnedHandle err(OpenInheritable(errPath, true));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION info{};
        if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              workingFolder.c_str(), &startup, &info)) {
            ADD_FAILURE() << program << " could not be started: error " << ::GetLastError();
            return result;
        }
        OwnedHandle process(info.hProcess);
        OwnedHandle thread(info.hThread);
        processId = info.dwProcessId;
        ::WaitForSingleObject(process.get(), INFINITE);
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.get(), &exitCode);
        result.exitCode = static_cast<int>(exitCode);
        // Still held open, the process id cannot be reused by another
        // process while the children are looked for.
        // Wine may list a child that has ended for a moment longer: only one
        // still there after two seconds outlived the tool (the tests' own
        // SAS processes that must not outlive it sleep far longer).
        result.leftProcesses = HasLiveChildren(processId);
        for (int look = 0; result.leftProcesses && look < 20; ++look) {
            ::Sleep(100);
            result.leftProcesses = HasLiveChildren(processId);
        }
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

}  // namespace tamberlo::test
