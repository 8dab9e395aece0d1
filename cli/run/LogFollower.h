#pragma once

#include <cstdio>
#include <string>

namespace tamberlo::cli {

// Shows a log file while SAS writes it: every Poll writes what the file has
// gained since the previous one, byte for byte, and flushes.
class LogFollower {
public:
    explicit LogFollower(std::FILE* out) noexcept : out_(out) {}

    // A file that does not exist yet or cannot be read shows nothing; the
    // next call tries again. A different path starts from its beginning.
    void Poll(const std::string& logPath);

private:
    std::FILE* out_;
    std::string path_;
    unsigned long long shown_ = 0;
};

}  // namespace tamberlo::cli
