#pragma once

#include "cli/run/ReportOptions.h"
#include "cli/run/SessionOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One piece of the program, in the order the command line gave it.
struct ProgramPiece {
    enum class Kind {
        File,           // a PROGRAM argument naming a file
        StandardInput,  // the PROGRAM argument "-"
        Text,           // an -e / --code text
    };
    Kind kind;
    std::string value;  // the path or the text; empty for StandardInput

    bool operator==(const ProgramPiece&) const = default;
};

// Everything the command line asks for, checked for usage but not yet for
// the existence of files.
struct SingleRunOptions : SessionOptions, ReportOptions {
    static constexpr const char* StandardStream = "-";

    std::vector<ProgramPiece> program;
    // Unset: the default destination (log: standard error, listing: standard
    // output). "-": standard output. Anything else: a file.
    std::optional<std::string> logFile;
    std::optional<std::string> lstFile;
    std::optional<std::string> putDir;
    bool report = false;
    bool json = false;
    bool check = false;
    bool follow = false;
};

}  // namespace tamberlo::cli
