#pragma once

#include "cli/batch/BatchOptions.h"
#include "cli/ProgramOutcome.h"
#include "host/StopSignal.h"

#include <optional>

namespace tamberlo::cli {

// Runs one program of a batch through a CodeRunner of its own, on the
// calling thread, and writes its outputs when the options name a folder:
// <name>.log, <name>.lst (when SAS wrote a listing) and the put files copied
// byte for byte to <name>/_PUT<n>.txt, after removing those an earlier batch
// left there for the program. Every failure becomes
// part of the outcome; nothing is thrown. Returns nothing when SAS was
// stopped because `stop` was requested: the program did not finish.
std::optional<ProgramOutcome> RunBatchProgram(const BatchProgram& program, const BatchOptions& options,
                                              const StopSignal& stop);

}  // namespace tamberlo::cli
