#pragma once

#include "cli/run/BatchOptions.h"

namespace tamberlo::cli {

// `tamberlo batch` with its parsed options. Returns the exit status.
int RunBatchCommand(const BatchOptions& options);

}  // namespace tamberlo::cli
