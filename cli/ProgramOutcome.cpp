#include "cli/ProgramOutcome.h"

namespace tamberlo::cli {

const char* VerdictText(ProgramOutcome::Verdict verdict) noexcept {
    switch (verdict) {
    case ProgramOutcome::Verdict::Clean: return "clean";
    case ProgramOutcome::Verdict::Warnings: return "warnings";
    case ProgramOutcome::Verdict::Failed: return "failed";
    case ProgramOutcome::Verdict::TamberloError: return "error";
    case ProgramOutcome::Verdict::TimeLimit: return "time limit";
    }
    return "error";
}

ExitStatus StatusOf(ProgramOutcome::Verdict verdict) noexcept {
    switch (verdict) {
    case ProgramOutcome::Verdict::Clean: return ExitStatus::Ok;
    case ProgramOutcome::Verdict::Warnings: return ExitStatus::LogHasWarnings;
    case ProgramOutcome::Verdict::Failed: return ExitStatus::LogHasErrors;
    case ProgramOutcome::Verdict::TamberloError: return ExitStatus::TamberloError;
    case ProgramOutcome::Verdict::TimeLimit: return ExitStatus::TimeLimitReached;
    }
    return ExitStatus::TamberloError;
}

}  // namespace tamberlo::cli
