#include "host/FileSystem.h"

#include "host/SystemError.h"
#include "host/win32/Handle.h"

#include <windows.h>

#include <algorithm>

namespace tamberlo::filesystem {

namespace {

[[noreturn]] void ThrowLastError(const std::string& path) { throw ErrorFromSystemCode(::GetLastError(), path); }

// While it lives, a drive without media (or any other critical error) fails
// the thread's file calls instead of showing a system dialog; the thread's
// earlier mode comes back afterwards, as the client may have chosen its own.
class NoErrorDialogs {
public:
    NoErrorDialogs() noexcept
        : changed_(::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_) != FALSE) {}
    ~NoErrorDialogs() {
        if (changed_) ::SetThreadErrorMode(previous_, nullptr);
    }
    NoErrorDialogs(const NoErrorDialogs&) = delete;
    NoErrorDialogs& operator=(const NoErrorDialogs&) = delete;

private:
    DWORD previous_ = 0;
    bool changed_;
};

win32::FileHandle Open(const std::string& path, DWORD access, DWORD disposition) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    // Others may read, write and delete meanwhile: SAS may still hold a log
    // open, and put files are deleted by their owner only.
    win32::FileHandle file(::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) ThrowLastError(path);
    return file;
}

void WriteAll(HANDLE file, std::string_view text, const std::string& path) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, text.data(), chunk, &written, nullptr)) ThrowLastError(path);
        text.remove_prefix(written);
    }
}

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t ReadUpTo(HANDLE file, char* buffer, std::size_t size, const std::string& path) {
    std::size_t filled = 0;
    while (filled < size) {
        // One ReadFile takes less than 4 GiB.
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(size - filled, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(file, buffer + filled, wanted, &got, nullptr)) ThrowLastError(path);
        if (got == 0) break;
        filled += got;
    }
    return filled;
}

}  // namespace

std::string ReadWholeFile(const std::string& path) {
    const NoErrorDialogs quiet;
    win32::FileHandle file = Open(path, GENERIC_READ, OPEN_EXISTING);
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) ThrowLastError(path);
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size()) throw RuntimeError(errors::OutOfMemory);

    std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
    content.resize(ReadUpTo(file.get(), content.data(), content.size(), path));
    // A file that grew since its size was taken is still read to its end.
    char more[4096];
    while (const std::size_t got = ReadUpTo(file.get(), more, sizeof more, path)) content.append(more, got);
    return content;
}

void WriteWholeFile(const std::string& path, std::string_view text, WriteMode mode) {
    const NoErrorDialogs quiet;
    win32::FileHandle file = mode == WriteMode::Append ? Open(path, FILE_APPEND_DATA, OPEN_ALWAYS)
                                                       : Open(path, GENERIC_WRITE, CREATE_ALWAYS);
    WriteAll(file.get(), text, path);
    if (!file.Close()) ThrowLastError(path);
}

bool CreateNewFile(const std::string& path, std::string_view text) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const NoErrorDialogs quiet;
    // CREATE_NEW fails on any existing name, a symbolic link included.
    win32::FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD reason = ::GetLastError();
        if (reason == ERROR_FILE_EXISTS || reason == ERROR_ALREADY_EXISTS) return false;
        throw ErrorFromSystemCode(reason, path);
    }
    try {
        WriteAll(file.get(), text, path);
        if (!file.Close()) ThrowLastError(path);
    } catch (...) {
        file.Close();
        ::DeleteFileA(path.c_str());
        throw;
    }
    return true;
}

void RemoveFile(const std::string& path) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    const NoErrorDialogs quiet;
    if (!::DeleteFileA(path.c_str())) ThrowLastError(path);
}

void CheckReadable(const std::string& path) {
    const NoErrorDialogs quiet;
    Open(path, GENERIC_READ, OPEN_EXISTING);
}

bool ProbeReadable(const std::string& path) noexcept {
    try {
        CheckReadable(path);
        return true;
    } catch (...) {
        return false;
    }
}

char PathSeparator() noexcept { return '\\'; }

}  // namespace tamberlo::filesystem
