#include "cli/ProgramOutcome.h"

namespace tamberlo::cli {

std::vector<std::string> ProgramOutcome::FirstErrorLines() const {
    constexpr std::size_t shown = 3;
    std::vector<std::string> lines;
    for (const Finding& finding : findings) {
        if (lines.size() == shown) break;
        if (finding.kind == LogLineClassifier::Kind::Error) lines.push_back(finding.text);
    }
    return lines;
}

std::string ProgramOutcome::FirstProblemLine() const {
    if (!problem.empty()) return program.name + ": " + problem;
    for (const Finding& finding : findings) {
        if (finding.kind != LogLineClassifier::Kind::Error) continue;
        std::string place = program.path;
        if (finding.programLine) place += ":" + std::to_string(*finding.programLine);
        return place + ": " + finding.text;
    }
    return program.name + ": SAS exit code " + (sasExitCode ? std::to_string(*sasExitCode) : std::string("none"));
}

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
