#pragma once

#include "cli/ExitStatus.h"
#include "cli/LogLineClassifier.h"
#include "cli/ProgramList.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// What one program of a batch came to.
struct ProgramOutcome {
    enum class Verdict {
        Clean,           // no ERROR or WARNING line, SAS exit code 0
        Warnings,        // WARNING lines or SAS exit code 1
        Failed,          // ERROR lines or SAS exit code 2 or more
        TamberloError,   // Tamberlo raised an error; SAS may not have run
        TimeLimit,       // stopped at the time limit
    };

    BatchProgram program;
    Verdict verdict = Verdict::Clean;
    std::optional<int> sasExitCode;     // none when SAS did not end by itself
    LogLineClassifier::Counts logLines;
    std::vector<std::string> firstErrorLines;  // the first few, as SAS wrote them
    std::string problem;                // the Tamberlo error or the time limit, as one line
    std::string log;                    // as written to the output folder
    double seconds = 0;
};

// "clean", "warnings", "failed", "error", "time limit"
const char* VerdictText(ProgramOutcome::Verdict verdict) noexcept;

// 0 to 4: the status the batch exits with when this is the worst program.
ExitStatus StatusOf(ProgramOutcome::Verdict verdict) noexcept;

}  // namespace tamberlo::cli
