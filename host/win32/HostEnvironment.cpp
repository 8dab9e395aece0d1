#include "host/HostEnvironment.h"

#include <windows.h>

#include <mutex>
#include <random>

namespace tamberlo::hostenv {

std::string SystemTempDirectory() {
    char buffer[255] = {};
    const DWORD length = ::GetTempPathA(sizeof buffer, buffer);
    // 0 is a failure; a length beyond the buffer is the size needed, and the
    // buffer then holds no path.
    if (length == 0 || length > sizeof buffer) return {};
    return std::string(buffer, length);
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
