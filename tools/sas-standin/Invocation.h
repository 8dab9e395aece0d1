#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tamberlo::standin {

// The command-line options that matter to the stand-in. Option names are
// case-insensitive. -CONFIG, -SYSIN, -PRINT, -LOG, -ENCODING, -SYSPARM and
// -AUTOEXEC take the next argument as their value, -SET the next two; the
// flag options of the platform's SAS (Platform.h) and -ECHOAUTO are
// accepted, and so are the system options -MEMSIZE, -SORTSIZE and -WORK
// with their values, which change nothing here; -SOURCE2 and -NOSOURCE2
// switch the echo of included files. An argument without a leading '-' names the program
// file when -SYSIN has not. Any other option is unknown: a WARNING line
// where SAS warns about it, else one of `unknownOptions`.
struct Invocation {
    std::optional<std::string> config;
    std::optional<std::string> sysin;
    std::optional<std::string> print;
    std::optional<std::string> log;
    std::optional<std::string> encoding;
    std::optional<std::string> sysparm;
    std::optional<std::string> autoexec;
    bool echoAutoexec = false;
    // -SET NAME VALUE, in argument order.
    std::vector<std::pair<std::string, std::string>> environment;
    bool source2 = false;  // -SOURCE2: the log echoes included files
    // The WARNING lines for the log, in argument order.
    std::vector<std::string> warnings;
    // The unknown options where SAS does not warn about them (SAS for UNIX),
    // upper-cased, in argument order: each a reason not to start.
    std::vector<std::string> unknownOptions;

    // `arguments` without the program name (argv[1] onwards).
    static Invocation Parse(const std::vector<std::string>& arguments);

    // The session encoding: -ENCODING of the command line, else the last of
    // the configuration file, following its -CONFIG files where they stand
    // (a relative path from the naming file's folder); empty when none
    // names one.
    std::string SessionEncoding() const;
};

}  // namespace tamberlo::standin
