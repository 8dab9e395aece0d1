#include "cli/batch/ProgramOutcome.h"

#include "cli/CommandText.h"

namespace tamberlo::cli {

void ProgramOutcome::StoreFindings(const std::shared_ptr<FindingStore>& store) {
    if (findings.empty() || store_) return;
    if (const std::optional<FindingStore::Place> place = store->Put(findings)) {
        store_ = store;
        storedAt_ = *place;
        std::vector<Finding>().swap(findings);
    }
}

std::vector<Finding> ProgramOutcome::KeptFindings() const { return store_ ? store_->Get(storedAt_) : findings; }

std::vector<std::string> ProgramOutcome::FirstErrorLines() const {
    constexpr std::size_t shown = 3;
    std::vector<std::string> lines;
    for (const Finding& finding : KeptFindings()) {
        if (lines.size() == shown) break;
        if (finding.kind == LogLineClassifier::Kind::Error) lines.push_back(finding.text);
    }
    return lines;
}

namespace {

// `host` converts the host's texts, `session` the log's.
template <typename Host, typename Session>
std::string ProblemLine(const ProgramOutcome& outcome, Host host, Session session) {
    if (!outcome.problem.empty()) return host(outcome.program.name + ": " + outcome.problem);
    for (const Finding& finding : outcome.KeptFindings()) {
        if (finding.kind != LogLineClassifier::Kind::Error) continue;
        std::string place =
            finding.includedFile.empty() ? host(outcome.program.Place()) : session(finding.includedFile);
        if (finding.programLine) place.append(":").append(std::to_string(*finding.programLine));
        // The program's runs of a table's rows share its lines: say which.
        const std::string row = outcome.program.row.empty() ? "" : " (row " + outcome.program.row + ")";
        return place + host(": ") + session(finding.text) + host(row);
    }
    return host(outcome.program.name) + ": SAS exit code " +
           (outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : std::string("none"));
}

}  // namespace

std::string ProgramOutcome::FirstProblemLine() const {
    const auto same = [](const std::string& text) { return text; };
    return ProblemLine(*this, same, same);
}

std::string ProgramOutcome::FirstProblemLineUtf8() const {
    return ProblemLine(
        *this, [](const std::string& text) { return commandtext::ToUtf8(text); },
        [this](const std::string& text) { return encoding.ToUtf8(text); });
}

}  // namespace tamberlo::cli
