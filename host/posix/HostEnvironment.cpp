#include "host/HostEnvironment.h"

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale.h>

namespace tamberlo::hostenv {

std::string SystemTempDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = tmpdir && *tmpdir ? tmpdir : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

std::string LocalDateTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);

    // The user's own date and time format, without touching the process's
    // locale: %x is the locale's short date, %X its time.
    char text[128] = {};
    if (locale_t userLocale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr))) {
        ::strftime_l(text, sizeof text, "%x %X", &local, userLocale);
        ::freelocale(userLocale);
    } else {
        std::strftime(text, sizeof text, "%x %X", &local);
    }
    return text;
}

std::vector<std::string> DriveRootsToSearch(std::string_view) { return {}; }

}  // namespace tamberlo::hostenv
