#include "cli/findings/Verdict.h"

namespace tamberlo::cli {

Verdict VerdictOfExitCode(int sasExitCode) noexcept {
    if (sasExitCode == 0) return Verdict::Clean;
    return sasExitCode == 1 ? Verdict::Warnings : Verdict::Failed;
}

const char* VerdictText(Verdict verdict) noexcept {
    switch (verdict) {
    case Verdict::Clean: return "clean";
    case Verdict::Warnings: return "warnings";
    case Verdict::Failed: return "failed";
    case Verdict::TamberloError: return "error";
    case Verdict::TimeLimit: return "time limit";
    case Verdict::NotRun: return "not run";
    }
    return "error";
}

ExitStatus StatusOf(Verdict verdict) noexcept {
    switch (verdict) {
    case Verdict::Clean: return ExitStatus::Ok;
    case Verdict::Warnings: return ExitStatus::LogHasWarnings;
    case Verdict::Failed: return ExitStatus::LogHasErrors;
    case Verdict::TamberloError: return ExitStatus::TamberloError;
    case Verdict::TimeLimit: return ExitStatus::TimeLimitReached;
    case Verdict::NotRun: return ExitStatus::Interrupted;
    }
    return ExitStatus::TamberloError;
}

}  // namespace tamberlo::cli
