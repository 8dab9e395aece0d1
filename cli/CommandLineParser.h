#pragma once

#include "cli/CliOptions.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tamberlo::cli {

// Turns the command line into CliOptions. Program files and -e texts keep
// the order in which they were given.
class CommandLineParser {
public:
    enum class Action { Run, ShowHelp, ShowVersion };

    struct Outcome {
        Action action = Action::Run;
        CliOptions options;
    };

    // argv[0] is the program's own name and is ignored. Throws UsageError
    // for an unknown option, a missing or bad value, options that cannot go
    // together, or no program at all (unless --report asks for the report
    // of a fresh object). -h/--help and --version give their own action
    // instead of a run.
    static Outcome Parse(int argc, const char* const* argv);

    static std::string HelpText();
    static std::string VersionText();

    // "30", "0.5": a positive, finite number of seconds, rounded up to whole
    // milliseconds. Throws UsageError naming --timeout otherwise.
    static std::chrono::milliseconds ParseTimeout(std::string_view seconds);
};

}  // namespace tamberlo::cli
