#pragma once

namespace tamberlo::cli {

// `tamberlo batch`: argv[0] is "batch". Returns the exit status.
int RunBatchCommand(int argc, const char* const* argv);

}  // namespace tamberlo::cli
