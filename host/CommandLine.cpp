#include "host/CommandLine.h"

#include <algorithm>

namespace tamberlo {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Where the run of characters that an argument takes as they stand ends,
// from `i` on: at a backslash, a quotation mark or, outside quotes, a blank.
// Appended as a whole, so that a path costs one copy, not one per character.
std::size_t EndOfPlainRun(std::string_view cmdline, std::size_t i, bool quoted) {
    const char* const data = cmdline.data();
    const std::size_t n = cmdline.size();
    if (quoted) {
        while (i < n && data[i] != '\\' && data[i] != '"') ++i;
    } else {
        while (i < n && data[i] != '\\' && data[i] != '"' && !IsBlank(data[i])) ++i;
    }
    return i;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view cmdline) {
    std::vector<std::string> args;
    args.reserve(16);  // a SAS command line has 13
    std::size_t i = 0;
    const std::size_t n = cmdline.size();

    while (i < n && IsBlank(cmdline[i])) ++i;
    if (i == n) return args;

    // The program name: no escapes, a quoted name ends at the next quote.
    std::string program;
    if (cmdline[i] == '"') {
        const std::size_t end = std::min(cmdline.find('"', i + 1), n);
        program.assign(cmdline.substr(i + 1, end - i - 1));
        i = end < n ? end + 1 : n;
    }
    const std::size_t start = i;
    while (i < n && !IsBlank(cmdline[i])) ++i;
    program.append(cmdline.substr(start, i - start));
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
                const std::size_t end = EndOfPlainRun(cmdline, i, quoted);
                arg.append(cmdline.substr(i, end - i));
                i = end;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + '"';
}

}  // namespace tamberlo
