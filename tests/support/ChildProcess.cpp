#include "ChildProcess.h"
#include "NaiveForms.h"

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
        const bool plain = !argument.empty() && argument.find_first_of(" \t\"") == std::string::npos;
        line += plain ? argument : naive::QuoteArgument(argument);
    }
    return line;
}

}  // namespace tamberlo::test
