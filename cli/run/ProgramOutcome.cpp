#include "cli/run/ProgramOutcome.h"

#include "cli/base/CommandText.h"
#include "engine/Engine.h"
#include "host/Error.h"

#include <algorithm>

namespace tamberlo::cli {

void ProgramOutcome::Judge(const SasOutput& output, const LogRules& rules, const StopSignal* stop) {
    encoding = output.encoding;
    sasExitCode = output.exitCode;
    consoleLine = ConsoleLine(output.console);
    // Lines are recognised in the log as SAS wrote it: cleaning would turn a
    // page's leading form feed into "%12".
    LogFindings scan(rules, output.preambleLines, stop);
    if (output.programLeading) scan.FindPreamble(*output.programLeading);
    scan.Feed(output.log);
    scan.Finish();
    logLines = scan.Counts();
    findings = scan.Findings();
    verdict = scan.VerdictFor(sasExitCode, output.console);
    if (output.status != "OK") {
        verdict = Verdict::TamberloError;
        problem = commandtext::FromHost(output.status);
    }
}

void ProgramOutcome::Fail(const Error& error) {
    verdict = dynamic_cast<const TimeLimitReached*>(&error) != nullptr ? Verdict::TimeLimit
              : dynamic_cast<const RunStopped*>(&error) != nullptr     ? Verdict::NotRun
                                                                       : Verdict::TamberloError;
    problem = error.Source() + ": " + commandtext::FromHost(error.Explained());
}

void ProgramOutcome::StoreFindings(const std::shared_ptr<FindingStore>& store) {
    if (findings.empty() || store_) return;
    if (const std::optional<FindingStore::Place> place = store->Put(findings)) {
        store_ = store;
        storedAt_ = *place;
        storedAnError_ = std::any_of(findings.begin(), findings.end(), [](const Finding& finding) {
            return finding.kind == LogLineClassifier::Kind::Error;
        });
        std::vector<Finding>().swap(findings);
    }
}

std::vector<Finding> ProgramOutcome::KeptFindings() const { return store_ ? store_->Get(storedAt_) : findings; }

std::optional<ProgramOutcome::StoredFindings> ProgramOutcome::Stored() const {
    if (!store_) return std::nullopt;
    return StoredFindings{storedAt_, storedAnError_};
}

void ProgramOutcome::FindingsIn(std::shared_ptr<const FindingStore> store, const StoredFindings& stored) {
    store_ = std::move(store);
    storedAt_ = stored.place;
    storedAnError_ = stored.anError;
}

std::vector<std::string> ProgramOutcome::FirstErrorLines() const {
    constexpr std::size_t shown = 3;
    std::vector<std::string> lines;
    for (const Finding& finding : KeptFindings()) {
        if (lines.size() == shown) break;
        if (finding.kind == LogLineClassifier::Kind::Error) lines.push_back(finding.text);
    }
    return lines;
}

bool ProgramOutcome::UnexplainedByFindings() const {
    if (verdict != Verdict::Failed && verdict != Verdict::Warnings) return false;
    // Stored findings are never none.
    if (store_) return verdict == Verdict::Failed && !storedAnError_;
    return std::none_of(findings.begin(), findings.end(), [this](const Finding& finding) {
        return verdict == Verdict::Warnings || finding.kind == LogLineClassifier::Kind::Error;
    });
}

std::string ProgramOutcome::ExitCodeProblem() const {
    const std::string code = "SAS exit code " + (sasExitCode ? std::to_string(*sasExitCode) : std::string("none"));
    return consoleLine.empty() ? code : consoleLine + " (" + code + ")";
}

std::string ProgramOutcome::ConsoleLine(std::string_view console) {
    constexpr std::size_t longest = 1024;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t start = 0;
    while (start < console.size() && blank(console[start])) ++start;
    std::size_t end = std::min(console.find('\n', start), console.size());
    while (end > start && blank(console[end - 1])) --end;
    if (end - start > longest) {
        end = start + longest;
        // Back over UTF-8 continuation bytes to the start of a character.
        while (end > start && (static_cast<unsigned char>(console[end]) & 0xC0u) == 0x80u) --end;
    }
    return std::string(console.substr(start, end - start));
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
    return host(outcome.program.name + ": " + outcome.ExitCodeProblem());
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
