#pragma once

#include <stdexcept>
#include <string>

namespace tamberlo::cli {

// A command line that cannot be run as given. The message is one line that
// names the option or file at fault; the command prints it after
// "tamberlo: " and exits with the usage status.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const std::string& message) : std::runtime_error(message) {}
};

// A parser's message (which may run over several lines) as the one line a
// usage error prints.
inline std::string OneLine(std::string message) {
    for (char& c : message) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!message.empty() && message.back() == ' ') message.pop_back();
    return message;
}

}  // namespace tamberlo::cli
