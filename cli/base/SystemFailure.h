#pragma once

#include <stdexcept>
#include <string>

namespace tamberlo::cli {

// A file the command needs that the system could not read or write for a
// reason of its own (no descriptor left, no memory, a full disk, a device
// error), not of the command line: the command prints the message, which
// names the file and the system's reason, after "tamberlo: " and exits with
// the input/output status (74), never the usage status.
class SystemFailure : public std::runtime_error {
public:
    explicit SystemFailure(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tamberlo::cli
