#pragma once

#include <optional>
#include <string>

namespace tamberlo::cli {

// The report files both forms of the command write (the batch's --json FILE
// is its own: the single run's --json prints to standard output).
struct ReportOptions {
    std::optional<std::string> junitFile;  // with a shard, named after it
    std::optional<std::string> htmlFile;
    std::optional<std::string> sarifFile;
    std::optional<std::string> codeQualityFile;
    // What the reports' file locations are relative to; empty: the current folder.
    std::string sourceRoot;
};

}  // namespace tamberlo::cli
