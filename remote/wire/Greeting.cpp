#include "remote/wire/Greeting.h"

#include "remote/wire/PrintableBytes.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <charconv>

namespace tamberlo::remote {

namespace {

constexpr std::string_view Prefix = "TAMBERLO-REMOTE ";

// The longest greeting read: a version is a short word.
constexpr std::size_t MaxGreetingLine = 256;

bool IsVersionChar(char c) { return c > ' ' && c < 0x7F; }

// Parses "TAMBERLO-REMOTE <protocol> <version>\n" into `search`.
bool ParseGreeting(std::string_view line, GreetingSearch& search) {
    if (line.empty() || line.back() != '\n') return false;
    line.remove_prefix(Prefix.size());
    line.remove_suffix(1);
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || space == 0 || space > 9) return false;
    for (std::size_t i = 0; i < space; ++i) {
        if (line[i] < '0' || line[i] > '9') return false;
    }
    std::from_chars(line.data(), line.data() + space, search.protocol);
    const std::string_view version = line.substr(space + 1);
    if (version.empty()) return false;
    for (const char c : version) {
        if (!IsVersionChar(c)) return false;
    }
    search.version = version;
    return true;
}

}  // namespace

std::string GreetingLine(int protocol, std::string_view version) {
    std::string line(Prefix);
    line += std::to_string(protocol);
    line += ' ';
    line += version;
    line += '\n';
    return line;
}

GreetingSearch AwaitGreeting(BufferedInput& input) {
    GreetingSearch search;
    for (;;) {
        std::string line;
        const bool whole = input.ReadLine(line, MaxGreetingNoise - search.noise.size() + MaxGreetingLine);
        if (line.starts_with(Prefix)) {
            if (line.size() > MaxGreetingLine || !ParseGreeting(line, search)) {
                throw WireError("the remote side's greeting is malformed: \"" + PrintableBytes(line) + "\"");
            }
            search.found = true;
            return search;
        }
        search.noise += line;
        if (search.noise.size() > MaxGreetingNoise) {
            throw WireError("no greeting from the remote side within the first " + std::to_string(MaxGreetingNoise) +
                            " bytes of its output; it began \"" + PrintableBytes(search.noise) + "\"");
        }
        if (!whole) return search;
    }
}

}  // namespace tamberlo::remote
