#pragma once

#include "cli/base/ExitStatus.h"

namespace tamberlo::cli {

// What a run of a program came to, worst last.
enum class Verdict {
    Clean,          // no ERROR or WARNING line counts, and no exit code of SAS does
    Warnings,       // WARNING lines, or SAS exit code 1
    Failed,         // ERROR lines, or SAS exit code 2 or more
    TamberloError,  // Tamberlo raised an error; SAS may not have run
    TimeLimit,      // stopped at the time limit
    NotRun,         // the batch was interrupted before it finished
};

// What SAS's exit code alone says of a run: 0 Clean, 1 Warnings, any other
// (2 and more, a crash's negative code) Failed. The single run's exit status
// without --check and every verdict that weighs the exit code come from here.
Verdict VerdictOfExitCode(int sasExitCode) noexcept;

// "clean", "warnings", "failed", "error", "time limit", "not run"
const char* VerdictText(Verdict verdict) noexcept;

// 0 to 4 (130 for one not run): the status the command exits with when
// this is the worst run.
ExitStatus StatusOf(Verdict verdict) noexcept;

}  // namespace tamberlo::cli
