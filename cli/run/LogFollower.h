#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tamberlo::cli {

// Shows a log file while SAS writes it: every Poll writes what the file has
// gained since the previous one, byte for byte, and flushes.
class LogFollower {
public:
    explicit LogFollower(std::FILE* out) noexcept : out_(out) {}
    // Hands each new piece to `show` instead (a remote run sends it over
    // its connection); what `show` throws passes on out of Poll.
    explicit LogFollower(std::function<void(std::string_view)> show) : show_(std::move(show)) {}

    // A file that does not exist yet or cannot be read shows nothing; the
    // next call tries again. A different path starts from its beginning.
    void Poll(const std::string& logPath);

private:
    std::FILE* out_ = nullptr;
    std::function<void(std::string_view)> show_;
    std::string path_;
    unsigned long long shown_ = 0;
};

}  // namespace tamberlo::cli
