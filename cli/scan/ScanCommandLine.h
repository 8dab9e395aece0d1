#pragma once

#include "cli/run/BatchOptions.h"

namespace CLI {
class App;
}

namespace tamberlo::cli {

// The options of `tamberlo scan`, declared on its CLI11 subcommand: the
// logs in BatchOptions::programs.
class ScanCommandLine {
public:
    static void Declare(CLI::App& scan, BatchOptions& options);

    // The paragraph that opens the help of the scan form.
    static const char* Description();

    // The usage message when no log is named.
    static const char* NoLog();
};

}  // namespace tamberlo::cli
