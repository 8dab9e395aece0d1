#include "cli/run/LogFollower.h"

#include <fstream>

namespace tamberlo::cli {

void LogFollower::Poll(const std::string& logPath) {
    if (logPath != path_) {
        path_ = logPath;
        shown_ = 0;
    }
    std::ifstream file(logPath, std::ios::binary);
    if (!file) return;
    file.seekg(static_cast<std::streamoff>(shown_));
    if (!file) return;
    char buffer[8192];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        const auto count = static_cast<std::size_t>(file.gcount());
        // Counted before it is shown: a piece that `show_` failed to send
        // is not sent again.
        shown_ += count;
        if (show_) {
            show_(std::string_view(buffer, count));
        } else {
            std::fwrite(buffer, 1, count, out_);
        }
    }
    if (out_ != nullptr) std::fflush(out_);
}

}  // namespace tamberlo::cli
