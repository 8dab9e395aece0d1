#include "host/CommandLine.h"

namespace tamberlo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view cmdline) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = cmdline.size();

    while (i < n && IsBlank(cmdline[i])) ++i;
    if (i == n) return args;

    // The program name: no escapes, a quoted name ends at the next quote.
    std::string program;
    if (cmdline[i] == '"') {
        ++i;
        while (i < n && cmdline[i] != '"') program += cmdline[i++];
        if (i < n) ++i;
    }
    while (i < n && !IsBlank(cmdline[i])) program += cmdline[i++];
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && IsBlank(cmdline[i])) ++i;
        if (i == n) break;

        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(cmdline[i]))) {
            if (cmdline[i] == '\\') {
                std::size_t backslashes = 0;
                while (i < n && cmdline[i] == '\\') {
                    ++backslashes;
                    ++i;
                }
                if (i < n && cmdline[i] == '"') {
                    arg.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(backslashes, '\\');
                }
            } else if (cmdline[i] == '"') {
                if (quoted && i + 1 < n && cmdline[i + 1] == '"') {
                    arg += '"';  // "" inside quotes: one literal quote
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += cmdline[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

}  // namespace tamberlo
