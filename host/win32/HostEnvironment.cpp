#include "host/HostEnvironment.h"

#include "host/AnsiText.h"
#include "host/win32/AnsiPath.h"

#include <windows.h>

#include <mutex>
#include <random>

namespace tamberlo::hostenv {

std::string SystemTempDirectory() {
    // Asked in UTF-16, so that a folder whose name the ANSI code page lacks
    // (a user name in another script) is found out rather than garbled.
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    // 0 is a failure; a length beyond the buffer is the size needed, and the
    // buffer then holds no path.
    if (length == 0 || length > MAX_PATH + 1) return {};
    const std::wstring folder(buffer, length);
    std::optional<std::string> ansi = win32::AnsiPathOf(folder);
    if (!ansi)
        throw TempFolderWithoutAnsiName(ansi::FromWide(folder.data(), folder.size()),
                                        win32::FirstCharacterOutsideAnsi(folder));
    // The 255-character buffer of old holds 254 characters and the null.
    if (ansi->size() > 254) return {};
    if (ansi->back() != '\\') ansi->push_back('\\');
    return *ansi;
}

std::string LocalDateTimeText() {
    char date[128] = {};
    char time[128] = {};
    ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof date);
    ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof time);
    return std::string(date) + " " + time;
}

std::uint64_t FreshRandomNumber() {
    static std::mutex guard;
    static std::random_device device;
    const std::lock_guard<std::mutex> lock(guard);
    return (std::uint64_t{device()} << 32) ^ device();
}

std::vector<std::string> DriveRootsToSearch(std::string_view folder) {
    std::vector<std::string> roots;
    for (char drive = 'C'; drive <= 'Z'; ++drive) roots.push_back(drive + std::string(folder));
    return roots;
}

std::optional<std::string> FolderOfProgramOnPath(std::string_view, std::string_view) { return std::nullopt; }

}  // namespace tamberlo::hostenv
