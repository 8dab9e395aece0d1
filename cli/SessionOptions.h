#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// What both forms of the command ask of every SAS session they start.
struct SessionOptions {
    std::string sasRoot;     // empty: the standard search
    std::string configFile;  // empty: the default file beside the SAS executable
    // Unset: the configuration's -ENCODING, else the platform's default.
    std::optional<std::string> encoding;
    bool raw = false;        // CleanOutput off
    bool noFormChar = false; // SafeFormChar off
    std::optional<std::chrono::milliseconds> timeout;  // per run

    // What counts in a log (LogRules): valid ECMAScript patterns.
    std::vector<std::string> ignore;
    std::vector<std::string> failOn;
    bool strict = false;

    // The root and configuration file by the names SAS is given them: the
    // host's narrow paths (on Windows in the ANSI code page, or the short
    // name where that lacks a character). Throws UsageError naming the
    // option when a path has no such name.
    std::string HostSASRoot() const;
    std::string HostConfigFile() const;
};

}  // namespace tamberlo::cli
