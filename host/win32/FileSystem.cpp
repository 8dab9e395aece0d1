#include "host/FileSystem.h"

#include "host/AnsiText.h"
#include "host/FileEnv.h"
#include "host/SystemError.h"
#include "host/win32/Handle.h"

#include <windows.h>

#include <algorithm>

namespace tamberlo::filesystem {

namespace {

[[noreturn]] void ThrowLastError(const std::string& path) { throw ErrorFromSystemCode(::GetLastError(), path); }

// A file as the system's wide functions take it, and as the installed
// FileEnv and the errors name it. Every call goes through the wide
// functions: a narrow path (the ANSI code page) is widened exactly as the
// ANSI functions would widen it, and a std::filesystem path reaches the
// system with every character NTFS allows.
struct FileName {
    std::wstring wide;
    std::string text;
};

FileName NameOf(const std::string& path) {
    if (NamesNoFile(path)) throw RuntimeError(errors::BadFileName);
    FileName name{std::wstring(ansi::WideLength(path), L'\0'), path};
    ansi::ToWide(path, name.wide.data(), name.wide.size());
    return name;
}

FileName NameOf(const std::filesystem::path& path) {
    if (path.native().find(L'\0') != std::wstring::npos) throw RuntimeError(errors::BadFileName);
    return {path.native(), path.string()};
}

// While it lives, a drive without media (or any other critical error) fails
// the thread's file calls instead of showing a system dialog; the thread's
// earlier mode comes back afterwards, as the client may have chosen its own.
class NoErrorDialogs {
public:
    NoErrorDialogs() noexcept
        : changed_(::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_) != FALSE) {}
    // Keeps the last error of the call it guarded for the caller to read.
    ~NoErrorDialogs() {
        const DWORD reason = ::GetLastError();
        if (changed_) ::SetThreadErrorMode(previous_, nullptr);
        ::SetLastError(reason);
    }
    NoErrorDialogs(const NoErrorDialogs&) = delete;
    NoErrorDialogs& operator=(const NoErrorDialogs&) = delete;

private:
    DWORD previous_ = 0;
    bool changed_;
};

// The system's code of a fault put on a call by the installed FileEnv; 0 for none.
DWORD SystemCode(Fault fault) noexcept {
    switch (fault) {
    case Fault::None: return 0;
    case Fault::FileNotFound: return ERROR_FILE_NOT_FOUND;
    case Fault::AccessDenied: return ERROR_ACCESS_DENIED;
    case Fault::TooManyFiles: return ERROR_TOO_MANY_OPEN_FILES;
    case Fault::DiskFull: return ERROR_DISK_FULL;
    }
    return 0;
}

// CreateFileW, or an empty handle with GetLastError() telling why. Others
// may read, write and delete meanwhile: SAS may still hold a log open, and
// put files are deleted by their owner only.
win32::FileHandle CreateHandle(const FileName& name, DWORD access, DWORD disposition) {
    if (FileEnv* env = InstalledFileEnv()) {
        if (const DWORD fault = SystemCode(env->Open(name.text))) {
            ::SetLastError(fault);
            return win32::FileHandle(INVALID_HANDLE_VALUE);
        }
    }
    return win32::FileHandle(::CreateFileW(name.wide.c_str(), access,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The open file, or an empty handle with GetLastError() telling why.
win32::FileHandle OpenHandle(const FileName& name, DWORD access, DWORD disposition) {
    const NoErrorDialogs quiet;
    return CreateHandle(name, access, disposition);
}

win32::FileHandle Open(const FileName& name, DWORD access, DWORD disposition) {
    win32::FileHandle file = OpenHandle(name, access, disposition);
    if (!file) ThrowLastError(name.text);
    return file;
}

void WriteAll(HANDLE file, std::string_view text, const std::string& path) {
    FileEnv* env = InstalledFileEnv();
    while (!text.empty()) {
        if (const DWORD fault = env ? SystemCode(env->Write(path)) : 0) {
            ::SetLastError(fault);
            ThrowLastError(path);
        }
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, text.data(), chunk, &written, nullptr)) ThrowLastError(path);
        text.remove_prefix(written);
    }
}

// Returns when the system's reason is the one reported as a missing file
// (53); throws the error of any other reason.
void ThrowUnlessNotFound(DWORD reason, const std::string& path) {
    Error error = ErrorFromSystemCode(reason, path);
    if (error.Number() != errors::FileNotFound) throw error;
}

// Reads up to `size` bytes; fewer only at the end of the file.
std::size_t ReadUpTo(HANDLE file, char* buffer, std::size_t size, const std::string& path) {
    const std::size_t cap = std::min<std::size_t>(ReadCapOf(path), 1u << 30);  // one ReadFile takes less than 4 GiB
    std::size_t filled = 0;
    while (filled < size) {
        const DWORD wanted = static_cast<DWORD>(std::min(size - filled, cap));
        DWORD got = 0;
        if (!::ReadFile(file, buffer + filled, wanted, &got, nullptr)) ThrowLastError(path);
        if (got == 0) break;
        filled += got;
    }
    return filled;
}

// The whole content of a file opened for reading.
std::string ReadToEnd(const win32::FileHandle& file, const std::string& path) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) ThrowLastError(path);
    if (static_cast<unsigned long long>(size.QuadPart) > std::string().max_size())
        throw RuntimeError(errors::OutOfMemory);

    std::string content(static_cast<std::size_t>(size.QuadPart), '\0');
    content.resize(ReadUpTo(file.get(), content.data(), content.size(), path));
    // A file that grew since its size was taken is still read to its end.
    char more[4096];
    while (const std::size_t got = ReadUpTo(file.get(), more, sizeof more, path)) content.append(more, got);
    return content;
}

}  // namespace

namespace {

std::string ReadWhole(const FileName& name) { return ReadToEnd(Open(name, GENERIC_READ, OPEN_EXISTING), name.text); }

void WriteWhole(const FileName& name, std::string_view text, WriteMode mode) {
    win32::FileHandle file = mode == WriteMode::Append ? Open(name, FILE_APPEND_DATA, OPEN_ALWAYS)
                                                       : Open(name, GENERIC_WRITE, CREATE_ALWAYS);
    WriteAll(file.get(), text, name.text);
    if (!::CloseHandle(file.release())) ThrowLastError(name.text);
}

bool CreateNew(const FileName& name, std::string_view text) {
    const NoErrorDialogs quiet;
    // CREATE_NEW fails on any existing name, a symbolic link included.
    win32::FileHandle file = CreateHandle(name, GENERIC_WRITE, CREATE_NEW);
    if (!file) {
        const DWORD reason = ::GetLastError();
        if (reason == ERROR_FILE_EXISTS || reason == ERROR_ALREADY_EXISTS) return false;
        throw ErrorFromSystemCode(reason, name.text);
    }
    try {
        WriteAll(file.get(), text, name.text);
        if (!::CloseHandle(file.release())) ThrowLastError(name.text);
    } catch (...) {
        file.reset();
        ::DeleteFileW(name.wide.c_str());
        throw;
    }
    return true;
}

void Discard(const FileName& name) noexcept {
    const NoErrorDialogs quiet;
    ::DeleteFileW(name.wide.c_str());
}

}  // namespace

std::string ReadWholeFile(const std::string& path) { return ReadWhole(NameOf(path)); }
std::string ReadWholeFile(const std::filesystem::path& path) { return ReadWhole(NameOf(path)); }

std::optional<std::string> ReadWholeFileIfPresent(const std::string& path) {
    const FileName name = NameOf(path);
    const win32::FileHandle file = OpenHandle(name, GENERIC_READ, OPEN_EXISTING);
    if (!file) {
        ThrowUnlessNotFound(::GetLastError(), path);
        return std::nullopt;
    }
    return ReadToEnd(file, path);
}

namespace {

RegularFileRead ReadRegular(const FileName& name, std::uintmax_t limit) {
    const std::string& path = name.text;
    const win32::FileHandle file = OpenHandle(name, GENERIC_READ, OPEN_EXISTING);
    if (!file) {
        const DWORD reason = ::GetLastError();
        // A folder cannot be opened as a file at all.
        const DWORD attributes = ::GetFileAttributesW(name.wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return {RegularFileRead::Outcome::NotRegular, {}};
        ThrowUnlessNotFound(reason, path);
        return {};
    }
    if (::GetFileType(file.get()) != FILE_TYPE_DISK) return {RegularFileRead::Outcome::NotRegular, {}};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) ThrowLastError(path);
    if (static_cast<std::uintmax_t>(size.QuadPart) > limit) return {RegularFileRead::Outcome::TooLarge, {}};
    RegularFileRead read{RegularFileRead::Outcome::Read, ReadToEnd(file, path)};
    if (read.text.size() > limit) return {RegularFileRead::Outcome::TooLarge, {}};
    return read;
}

}  // namespace

RegularFileRead ReadRegularFileIfPresent(const std::string& path, std::uintmax_t limit) {
    return ReadRegular(NameOf(path), limit);
}
RegularFileRead ReadRegularFileIfPresent(const std::filesystem::path& path, std::uintmax_t limit) {
    return ReadRegular(NameOf(path), limit);
}

std::FILE* OpenExistingForWriting(const std::filesystem::path& path) {
    const FileName name = NameOf(path);
    const NoErrorDialogs quiet;
    std::FILE* stream = ::_wfopen(name.wide.c_str(), L"wb");
    if (stream == nullptr) ThrowLastError(name.text);
    return stream;
}

std::optional<FileStamp> StampOfRegularFile(const std::string& path) noexcept {
    if (NamesNoFile(path)) return std::nullopt;
    try {
        const FileName name = NameOf(path);
        WIN32_FILE_ATTRIBUTE_DATA data{};
        {
            const NoErrorDialogs quiet;
            if (!::GetFileAttributesExW(name.wide.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
        }
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
        // FILETIME counts 100 ns from 1601.
        constexpr std::uint64_t From1601To1970 = 116444736000000000ULL;
        const std::uint64_t written = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                      data.ftLastWriteTime.dwLowDateTime;
        return FileStamp{(static_cast<std::uintmax_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                         (static_cast<std::int64_t>(written) - static_cast<std::int64_t>(From1601To1970)) * 100};
    } catch (...) {
        return std::nullopt;  // a path the code page cannot widen: the read says why
    }
}

void WriteWholeFile(const std::string& path, std::string_view text, WriteMode mode) {
    WriteWhole(NameOf(path), text, mode);
}
void WriteWholeFile(const std::filesystem::path& path, std::string_view text, WriteMode mode) {
    WriteWhole(NameOf(path), text, mode);
}

bool CreateNewFile(const std::string& path, std::string_view text) { return CreateNew(NameOf(path), text); }
bool CreateNewFile(const std::filesystem::path& path, std::string_view text) { return CreateNew(NameOf(path), text); }

void RemoveFile(const std::string& path) {
    const FileName name = NameOf(path);
    const NoErrorDialogs quiet;
    if (!::DeleteFileW(name.wide.c_str())) ThrowLastError(path);
}

bool RemoveFileIfPresent(const std::string& path) {
    const FileName name = NameOf(path);
    const NoErrorDialogs quiet;
    if (::DeleteFileW(name.wide.c_str())) return true;
    ThrowUnlessNotFound(::GetLastError(), path);
    return false;
}

void DiscardFile(const std::string& path) noexcept {
    if (NamesNoFile(path)) return;
    try {
        Discard(NameOf(path));
    } catch (...) {}
}
void DiscardFile(const std::filesystem::path& path) noexcept {
    try {
        Discard(NameOf(path));
    } catch (...) {}
}

void CheckReadable(const std::string& path) { Open(NameOf(path), GENERIC_READ, OPEN_EXISTING); }
void CheckReadable(const std::filesystem::path& path) { Open(NameOf(path), GENERIC_READ, OPEN_EXISTING); }

bool CheckReadableIfPresent(const std::string& path) {
    const win32::FileHandle file = OpenHandle(NameOf(path), GENERIC_READ, OPEN_EXISTING);
    if (file) return true;
    ThrowUnlessNotFound(::GetLastError(), path);
    return false;
}

bool ProbeReadable(const std::string& path) noexcept {
    try {
        CheckReadable(path);
        return true;
    } catch (...) {
        return false;
    }
}

std::optional<std::string> FileIdentity(const std::filesystem::path& path) {
    const NoErrorDialogs quiet;
    // Attributes only, and folders too (backup semantics): nothing is read.
    const win32::FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

char PathSeparator() noexcept { return '\\'; }

bool NamesIgnoreCase() noexcept { return true; }

bool ProgramExpandsWildcards() noexcept { return true; }

}  // namespace tamberlo::filesystem
