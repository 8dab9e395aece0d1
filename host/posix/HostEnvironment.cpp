#include "host/HostEnvironment.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tamberlo::hostenv {

std::string SystemTempDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = tmpdir && *tmpdir ? tmpdir : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

namespace {

// The user's time locale as the environment names it, kept per thread and
// made again only when the variables that choose it change: making one reads
// the locale files, which costs more than all the rest of a temporary name.
class UserTimeLocale {
public:
    UserTimeLocale() = default;
    UserTimeLocale(const UserTimeLocale&) = delete;
    UserTimeLocale& operator=(const UserTimeLocale&) = delete;
    ~UserTimeLocale() {
        if (locale_) ::freelocale(locale_);
    }

    // Null when the environment names a locale that is not installed.
    locale_t Get() {
        std::string choice;
        for (const char* name : {"LC_ALL", "LC_TIME", "LANG", "LOCPATH"}) {
            const char* value = std::getenv(name);
            choice += value ? value : "";
            choice += '\0';
        }
        if (!made_ || choice != choice_) {
            if (locale_) ::freelocale(locale_);
            locale_ = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
            choice_ = std::move(choice);
            made_ = true;
        }
        return locale_;
    }

private:
    locale_t locale_ = nullptr;
    std::string choice_;
    bool made_ = false;
};

}  // namespace

std::string LocalDateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);

    // The user's own date and time format, without touching the process's
    // locale: %x is the locale's short date, %X its time.
    thread_local UserTimeLocale userTimeLocale;
    char text[128] = {};
    if (const locale_t userLocale = userTimeLocale.Get()) {
        ::strftime_l(text, sizeof text, "%x %X", &local, userLocale);
    } else {
        std::strftime(text, sizeof text, "%x %X", &local);
    }
    return text;
}

std::vector<std::string> DriveRootsToSearch(std::string_view folder) { return {std::string(folder)}; }

std::optional<std::string> FolderOfProgramOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr || name.empty()) return std::nullopt;
    std::string_view entries(path);
    for (;;) {
        const std::size_t colon = entries.find(':');
        std::string folder(entries.substr(0, colon));
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + '/' + std::string(name);
        struct stat info {};
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
            const std::unique_ptr<char, decltype(&std::free)> real(::realpath(candidate.c_str(), nullptr), &std::free);
            if (real) {
                const std::string resolved = real.get();
                return resolved.substr(0, resolved.rfind('/') + 1);
            }
        }
        if (colon == std::string_view::npos) return std::nullopt;
        entries.remove_prefix(colon + 1);
    }
}

}  // namespace tamberlo::hostenv
