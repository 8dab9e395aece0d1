#include "remote/RemoteAddress.h"

#include <charconv>
#include <stdexcept>

namespace tamberlo::remote {
namespace {

// A user or host name that ssh takes as a destination, not as an option,
// and that means one name to it and to the remote.
void CheckName(std::string_view name, const char* what) {
    if (name.empty()) throw std::invalid_argument(std::string("no ") + what);
    if (name.front() == '-') throw std::invalid_argument(std::string("the ") + what + " starts with -");
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7f)
            throw std::invalid_argument(std::string("the ") + what + " holds a space or a control character");
        if (c == '@') throw std::invalid_argument(std::string("the ") + what + " holds a second @");
    }
}

int ParsePort(std::string_view text) {
    int port = 0;
    const char* last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, port);
    if (text.empty() || ec != std::errc{} || end != last || port < 1 || port > 65535)
        throw std::invalid_argument("the port is not a number from 1 to 65535");
    return port;
}

}  // namespace

RemoteAddress RemoteAddress::Parse(std::string_view text) {
    RemoteAddress address;
    const std::size_t at = text.rfind('@');
    if (at != std::string_view::npos) {
        address.user = std::string(text.substr(0, at));
        CheckName(address.user, "user");
        text.remove_prefix(at + 1);
    }
    std::string_view host = text;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) throw std::invalid_argument("the [ of an address is not closed");
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':') throw std::invalid_argument("text after the ] of an address");
            address.port = ParsePort(rest.substr(1));
        }
    } else if (const std::size_t colon = text.find(':'); colon != std::string_view::npos) {
        // An IPv6 address has more than one colon: it needs its brackets to
        // be told from a port.
        if (text.find(':', colon + 1) != std::string_view::npos)
            throw std::invalid_argument("an IPv6 address goes in brackets: [ADDRESS]:PORT");
        host = text.substr(0, colon);
        address.port = ParsePort(text.substr(colon + 1));
    }
    CheckName(host, "host");
    address.host = std::string(host);
    return address;
}

std::string RemoteAddress::Destination() const { return user.empty() ? host : user + "@" + host; }

}  // namespace tamberlo::remote
