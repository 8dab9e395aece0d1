#pragma once

#include "cli/batch/BatchOptions.h"

#include <string>
#include <string_view>

namespace tamberlo::cli {

// Turns the arguments after "batch" into BatchOptions.
class BatchCommandLine {
public:
    struct Outcome {
        bool showHelp = false;
        BatchOptions options;
    };

    // argv[0] is "batch" and is ignored. `defaultJobs` is the -j value when
    // none is given. Throws UsageError for an unknown option, a bad value or
    // no program at all; -h/--help asks for the help text instead of a run.
    static Outcome Parse(int argc, const char* const* argv, unsigned defaultJobs);

    static std::string HelpText();

    // "2/3": 1 <= K <= N. Throws UsageError naming --shard otherwise.
    static Shard ParseShard(std::string_view text);

    // The name of a report file of a shard: "reports/junit.xml" for shard 2/3
    // is "reports/junit-2of3.xml"; without a shard the name is unchanged.
    static std::string ReportFileName(const std::string& file, const std::optional<Shard>& shard);
};

}  // namespace tamberlo::cli
