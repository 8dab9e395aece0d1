#include "host/HostEnvironment.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <locale.h>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <random>
#include <string>
#include <string_view>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo::hostenv {

std::string SystemTempDirectory() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = tmpdir && *tmpdir ? tmpdir : "/tmp";
    if (dir.back() != '/') dir += '/';
    return dir;
}

namespace {

// The user's date and time text, kept per thread with the time locale that
// the environment names. The locale is made again only when the variables
// that choose it change (making one reads the locale files), and the text
// only when the second or the locale changes: a run makes three temporary
// names within one second, and formatting costs more than the rest of a name.
class UserDateTimeText {
public:
    UserDateTimeText() = default;
    UserDateTimeText(const UserDateTimeText&) = delete;
    UserDateTimeText& operator=(const UserDateTimeText&) = delete;
    ~UserDateTimeText() {
        if (locale_) ::freelocale(locale_);
    }

    const std::string& At(std::time_t now) {
        if (UpdateLocale() || !formatted_ || now != second_) {
            std::tm local{};
            ::localtime_r(&now, &local);
            // %x is the locale's short date, %X its time; a locale that is
            // not installed gives the process's own format.
            char text[128] = {};
            if (locale_) {
                ::strftime_l(text, sizeof text, "%x %X", &local, locale_);
            } else {
                std::strftime(text, sizeof text, "%x %X", &local);
            }
            text_ = text;
            second_ = now;
            formatted_ = true;
        }
        return text_;
    }

private:
    // True when the locale was made anew.
    bool UpdateLocale() {
        const std::string choice = LocaleChoice();
        if (madeLocale_ && choice == choice_) return false;
        if (locale_) ::freelocale(locale_);
        locale_ = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
        choice_ = std::move(choice);
        madeLocale_ = true;
        return true;
    }

    // The values of the variables that choose the time locale, each ended by
    // a NUL: one pass over the environment, as getenv() would make for each.
    static std::string LocaleChoice() {
        constexpr std::string_view names[] = {"LC_ALL=", "LC_TIME=", "LANG=", "LOCPATH="};
        std::array<const char*, std::size(names)> values{};
        for (char** entry = environ; *entry; ++entry) {
            if ((*entry)[0] != 'L') continue;  // as all four names do
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (!values[i] && std::strncmp(*entry, names[i].data(), names[i].size()) == 0) {
                    values[i] = *entry + names[i].size();
                }
            }
        }
        std::string choice;
        for (const char* value : values) {
            choice += value ? value : "";
            choice += '\0';
        }
        return choice;
    }

    locale_t locale_ = nullptr;  // null when the environment names a locale that is not installed
    std::string choice_;
    bool madeLocale_ = false;
    std::string text_;
    std::time_t second_ = 0;
    bool formatted_ = false;
};

}  // namespace

std::string LocalDateTimeText() {
    // The user's own format, without touching the process's locale.
    thread_local UserDateTimeText userText;
    return userText.At(std::time(nullptr));
}

namespace {

// Counts the forks of this process, as seen in the child.
std::atomic<unsigned> forksSeen{0};

// Random bytes read ahead from the kernel for one thread: one getrandom()
// call serves 32 numbers, where a call per number would cost as much as the
// rest of a temporary name. Each byte is handed out once and never leaves
// the buffer otherwise. A child of fork() inherits its parent's buffer: it
// throws it away before its first draw, so that the two never draw alike.
class RandomReserve {
public:
    RandomReserve() {
        static const int watchingForks = ::pthread_atfork(nullptr, nullptr, [] { ++forksSeen; });
        static_cast<void>(watchingForks);
    }
    RandomReserve(const RandomReserve&) = delete;
    RandomReserve& operator=(const RandomReserve&) = delete;

    std::uint64_t Next() {
        const unsigned forks = forksSeen.load(std::memory_order_relaxed);
        if (used_ + sizeof(std::uint64_t) > bytes_.size() || forks != forks_) {
            Refill();
            forks_ = forks;
        }
        std::uint64_t number = 0;
        std::memcpy(&number, bytes_.data() + used_, sizeof number);
        std::memset(bytes_.data() + used_, 0, sizeof number);
        used_ += sizeof number;
        return number;
    }

private:
    void Refill() {
        std::size_t filled = 0;
        while (filled < bytes_.size()) {
            const ssize_t got = ::getrandom(bytes_.data() + filled, bytes_.size() - filled, 0);
            if (got > 0) {
                filled += static_cast<std::size_t>(got);
            } else if (got < 0 && errno != EINTR) {
                FillFromDevice(filled);
                break;
            }
        }
        used_ = 0;
    }

    // A kernel without getrandom() (older than 3.17): the runtime's device.
    void FillFromDevice(std::size_t from) {
        static std::mutex guard;
        static std::random_device device;
        const std::lock_guard<std::mutex> lock(guard);
        for (std::size_t at = from; at < bytes_.size(); ++at) bytes_[at] = static_cast<unsigned char>(device());
    }

    std::array<unsigned char, 256> bytes_{};
    std::size_t used_ = bytes_.size();
    unsigned forks_ = 0;
};

}  // namespace

std::uint64_t FreshRandomNumber() {
    thread_local RandomReserve reserve;
    return reserve.Next();
}

std::vector<std::string> DriveRootsToSearch(std::string_view folder) { return {std::string(folder)}; }

namespace {

// More links than this in one chain is a loop, as the system counts.
constexpr int MaximumLinks = 40;

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// The target of the link `path`, as a path from the current directory (a
// relative target is relative to the link's folder); none for a file that
// is not a link.
std::optional<std::string> LinkTarget(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) return std::nullopt;
    target.resize(static_cast<std::size_t>(length));
    if (target.front() == '/') return target;
    return path.substr(0, path.rfind('/') + 1) + target;
}

}  // namespace

std::optional<std::string> FolderOfProgramOnPath(std::string_view name, std::string_view companion) {
    const char* path = std::getenv("PATH");
    if (path == nullptr || name.empty()) return std::nullopt;
    std::string_view entries(path);
    for (;;) {
        const std::size_t colon = entries.find(':');
        const std::string folder(entries.substr(0, colon));
        std::string link = (folder.empty() ? std::string(".") : folder) + '/' + std::string(name);
        struct stat info {};
        if (::stat(link.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(link.c_str(), X_OK) == 0) {
            for (int step = 0; step <= MaximumLinks; ++step) {
                const std::string linkFolder = link.substr(0, link.rfind('/') + 1);
                if (Exists(linkFolder + std::string(name)) && Exists(linkFolder + std::string(companion)))
                    return linkFolder;
                std::optional<std::string> next = LinkTarget(link);
                if (!next) break;
                link = std::move(*next);
            }
        }
        if (colon == std::string_view::npos) return std::nullopt;
        entries.remove_prefix(colon + 1);
    }
}

}  // namespace tamberlo::hostenv
