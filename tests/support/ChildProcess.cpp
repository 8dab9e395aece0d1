#include "ChildProcess.h"

namespace tamberlo::test {

ChildResult RunChild(const ChildLaunch& launch) { return ChildProcess(launch).Wait(); }

std::vector<std::string> SplitWindowsCommandLine(const std::string& line) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    const auto blank = [&](std::size_t at) { return line[at] == ' ' || line[at] == '\t'; };
    for (;;) {
        while (i < line.size() && blank(i)) ++i;
        if (i >= line.size()) return arguments;
        std::string argument;
        bool quoted = false;
        while (i < line.size() && (quoted || !blank(i))) {
            std::size_t backslashes = 0;
            while (i < line.size() && line[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < line.size() && line[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    argument += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, '\\');
                if (i < line.size() && (quoted || !blank(i))) argument += line[i++];
            }
        }
        arguments.push_back(std::move(argument));
    }
}

std::string WindowsCommandLine(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        if (!line.empty()) line += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) {
            line += argument;
            continue;
        }
        line += '"';
        std::size_t backslashes = 0;
        for (const char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes double only in front of a quote, which they escape.
            line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            line += c;
            backslashes = 0;
        }
        line.append(backslashes * 2, '\\');  // before the closing quote
        line += '"';
    }
    return line;
}

}  // namespace tamberlo::test
