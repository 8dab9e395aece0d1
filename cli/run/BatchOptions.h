#pragma once

#include "cli/run/ReportOptions.h"
#include "cli/run/SessionOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// The K-th of N parts of a sorted program list (1 <= K <= N).
struct Shard {
    int index = 1;
    int count = 1;

    // "2/3"
    std::string Text() const { return std::to_string(index) + "/" + std::to_string(count); }
};

// Everything `tamberlo batch` is asked for, checked for usage but not yet for
// the existence of files.
struct BatchOptions : SessionOptions, ReportOptions {
    std::vector<std::string> programs;  // .sas files and folders, as given
    bool recursive = false;
    unsigned jobs = 1;
    std::optional<Shard> shard;
    std::string shardFrom;  // --shard auto: the scheduler and variables it came from
    // --matrix: a parameter table, a run per program and row
    std::optional<std::string> matrixFile;

    std::optional<std::string> outDir;
    std::optional<std::string> jsonFile;  // with a shard, named after it
};

}  // namespace tamberlo::cli
