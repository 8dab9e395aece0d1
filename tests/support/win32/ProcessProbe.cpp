#include "ProcessProbe.h"

#include <cstdint>

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <stdexcept>
#include <string>

namespace tamberlo::reliability {

namespace {

// One entry of the system's handle table (SystemHandleInformation, class 16).
struct SystemHandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

using QuerySystemInformation = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);

// This process's entries in the system's handle table.
std::size_t HandlesInSystemTable() {
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return 0;
    std::vector<char> buffer(1 << 16);
    constexpr LONG InfoLengthMismatch = static_cast<LONG>(0xC0000004L);
    LONG status;
    ULONG needed = 0;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) == InfoLengthMismatch)
        buffer.resize(buffer.size() * 2);
    if (status != 0) return 0;
    const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    const DWORD self = ::GetCurrentProcessId();
    std::size_t count = 0;
    for (ULONG i = 0; i < table->count; ++i)
        if (table->entries[i].ownerPid == self) ++count;
    return count;
}

}  // namespace

std::size_t OpenHandleCount() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    // A process always holds some handles: Wine answers 0 here, and its
    // system handle table then has the count.
    if (count == 0) count = static_cast<DWORD>(HandlesInSystemTable());
    if (count == 0) throw std::runtime_error("this system counts no handles of the process");
    return count;
}

std::size_t ResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

namespace {

std::uint64_t CreationTimeOf(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (std::uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

// A process that has ended may still be listed for a moment after the last
// handle to it was closed; only one still running counts. A process keeps
// the id of a parent that has gone, and ids are handed out again: one made
// before the parent is not its child, whatever its parent id says.
bool StillRunningChild(DWORD pid, std::uint64_t parentCreated) {
    const HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return false;
    const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT && CreationTimeOf(process) >= parentCreated;
    ::CloseHandle(process);
    return running;
}

std::vector<unsigned long> ChildProcessesOf(DWORD parent, std::uint64_t parentCreated) {
    std::vector<unsigned long> children;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    // No list is no answer: reporting no children would pass every check.
    if (snapshot == INVALID_HANDLE_VALUE)
        throw std::runtime_error("the process list cannot be taken (" + std::to_string(::GetLastError()) + ")");
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent &&
            StillRunningChild(entry.th32ProcessID, parentCreated))
            children.push_back(entry.th32ProcessID);
    }
    ::CloseHandle(snapshot);
    return children;
}

}  // namespace

std::vector<unsigned long> ChildProcesses() {
    return ChildProcessesOf(::GetCurrentProcessId(), CreationTimeOf(::GetCurrentProcess()));
}

std::vector<unsigned long> ChildProcessesOf(unsigned long pid) {
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) throw std::runtime_error("process " + std::to_string(pid) + " cannot be asked");
    const std::uint64_t created = CreationTimeOf(process);
    ::CloseHandle(process);
    return ChildProcessesOf(static_cast<DWORD>(pid), created);
}

std::size_t KillChildProcesses() {
    std::size_t asked = 0;
    for (const unsigned long pid : ChildProcesses()) {
        if (const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            if (::TerminateProcess(process, 9)) ++asked;
            ::CloseHandle(process);
        }
    }
    return asked;
}

}  // namespace tamberlo::reliability
