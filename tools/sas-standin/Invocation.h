#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::standin {

// The command-line options that matter to the stand-in. Option names are
// case-insensitive. -CONFIG, -SYSIN, -PRINT and -LOG take the next argument
// as their value; -NOLOGO, -$NOSTATUSWIN, -NOCONFIG and -ICON are accepted
// and ignored. An argument without a leading '-' names the program file
// when -SYSIN has not. Everything else gives a WARNING line and is ignored.
struct Invocation {
    std::optional<std::string> config;
    std::optional<std::string> sysin;
    std::optional<std::string> print;
    std::optional<std::string> log;
    // The WARNING lines for the log, in argument order.
    std::vector<std::string> warnings;

    // `arguments` without the program name (argv[1] onwards).
    static Invocation Parse(const std::vector<std::string>& arguments);
};

}  // namespace tamberlo::standin
