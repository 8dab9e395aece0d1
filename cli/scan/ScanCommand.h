#pragma once

#include "cli/run/BatchOptions.h"

namespace tamberlo::cli {

// `tamberlo scan` with its parsed options (the logs in `programs`): the
// findings, verdicts, table and reports of the batch for logs that SAS
// wrote elsewhere, without starting SAS. Returns the exit status.
int RunScanCommand(const BatchOptions& options);

}  // namespace tamberlo::cli
