#include "FileFaults.h"

#include <filesystem>

namespace tamberlo::reliability {

using filesystem::Fault;

FileFault::FileFault(std::string pathPart, Action action, Fault fault, int fromOpen)
    : pathPart_(std::move(pathPart)), action_(action), fault_(fault), fromOpen_(fromOpen) {}

int FileFault::MatchingOpens() const {
    std::lock_guard<std::mutex> lock(guard_);
    return seen_;
}

Fault FileFault::Open(const std::string& path) {
    if (!Applies(path)) return Fault::None;
    std::lock_guard<std::mutex> lock(guard_);
    if (++seen_ < fromOpen_) return Fault::None;
    if (action_ == Action::VanishBeforeOpen) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    return action_ == Action::FailOpen ? fault_ : Fault::None;
}

Fault FileFault::Write(const std::string& path) {
    if (action_ != Action::FailWrites || !Applies(path)) return Fault::None;
    std::lock_guard<std::mutex> lock(guard_);
    return seen_ >= fromOpen_ ? fault_ : Fault::None;
}

}  // namespace tamberlo::reliability
