#pragma once

#include <stdexcept>
#include <string>

namespace tamberlo::cli {

// A remote run's request that the remote side will not carry out: frames
// out of order, a file name that would leave the run's folder, a file sent
// twice. The text says what came and why it is refused; the remote side
// sends it in an ERROR frame and ends.
class RequestRefused : public std::runtime_error {
public:
    explicit RequestRefused(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tamberlo::cli
