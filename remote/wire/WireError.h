#pragma once

// What either end raises when the other end's bytes break the protocol
// (a malformed header, a frame cut short, an unknown kind, a payload that
// does not parse) or when the pipe itself fails. The text says what was
// wrong, in words fit to show a user.

#include <stdexcept>
#include <string>

namespace tamberlo::remote {

class WireError : public std::runtime_error {
public:
    explicit WireError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace tamberlo::remote
