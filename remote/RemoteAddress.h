#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tamberlo::remote {

// Where a remote run goes: `[USER@]HOST[:PORT]` as --remote and
// TAMBERLO_REMOTE give it; an IPv6 address in brackets ([::1]:2222).
struct RemoteAddress {
    std::string user;         // empty: ssh's own choice (its config, else the local user)
    std::string host;         // a name or an address, brackets taken off
    std::optional<int> port;  // none: ssh's own choice (its config, else 22)

    // Throws std::invalid_argument, saying what is wrong, for an empty
    // host, a port that is no number from 1 to 65535, an unclosed bracket,
    // a user or host that starts with "-" (ssh would take it for an
    // option) or holds a space, a control character or a second "@".
    static RemoteAddress Parse(std::string_view text);

    // The destination as ssh takes it: "user@host" or "host" (an IPv6
    // address without brackets).
    std::string Destination() const;

    bool operator==(const RemoteAddress&) const = default;
};

}  // namespace tamberlo::remote
