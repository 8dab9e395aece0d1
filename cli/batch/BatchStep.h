#pragma once

#include "cli/run/BatchOptions.h"
#include "cli/findings/LogRules.h"
#include "cli/run/ProgramOutcome.h"
#include "host/StopSignal.h"

#include <optional>
#include <string>

namespace tamberlo::cli {

// Where a program's texts go once it has run, and what its log is checked by.
struct ProgramFiles {
    // The folder of <name>.log and <name>.lst: --out, or the batch's own
    // scratch folder when only the reports need them; none: not kept.
    std::optional<std::string> folder;
    bool listings = false;  // <name>.lst too
    bool putFiles = false;  // <name>/_PUT<n>.txt too, after removing an earlier batch's files (--out)
    LogRules rules;
};

// A batch's step for one program: runs it in a session of its own on the
// calling thread, judges it, and writes its files as `files` says. Every
// failure becomes part of the outcome; nothing is thrown. Returns nothing
// when SAS was stopped because `stop` was requested: the program did not
// finish.
std::optional<ProgramOutcome> RunBatchStep(const BatchProgram& program, const BatchOptions& options,
                                           const ProgramFiles& files, const StopSignal& stop);

}  // namespace tamberlo::cli
