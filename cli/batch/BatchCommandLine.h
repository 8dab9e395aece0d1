#pragma once

#include "cli/run/BatchOptions.h"

#include <string>
#include <string_view>

namespace CLI {
class App;
}

namespace tamberlo::cli {

// The options of `tamberlo batch`, declared on its CLI11 subcommand.
class BatchCommandLine {
public:
    // Declares on `batch` every option of the batch form, bound to
    // `options`, with their help; `defaultJobs` is -j when none is given.
    static void Declare(CLI::App& batch, BatchOptions& options, unsigned defaultJobs);

    // The paragraph that opens the help of the batch form.
    static const char* Description();

    // The usage message when no program is named.
    static const char* NoProgram();

    // "2/3": 1 <= K <= N. Throws UsageError naming --shard otherwise.
    static Shard ParseShard(std::string_view text);
};

}  // namespace tamberlo::cli
