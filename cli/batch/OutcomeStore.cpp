#include "cli/batch/OutcomeStore.h"

#include "cli/base/RecordCoding.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <string>

namespace tamberlo::cli {
namespace {

using record_coding::AppendNumber;
using record_coding::AppendText;

constexpr std::uint64_t SizeBytes = 8;  // a record starts with the size of the rest

void AppendOptional(std::string& out, bool has, std::uint64_t value) {
    AppendNumber(out, has);
    AppendNumber(out, has ? value : 0);
}

// An outcome as bytes, its findings' place in place of its findings (which
// are stored: the caller makes sure), its parameters those of its program
// in the list, its encoding an index into the store's table.
std::string Encoded(std::size_t index, const ProgramOutcome& outcome, std::uint64_t encoding) {
    std::string out;
    AppendNumber(out, 0);  // the size, filled in below
    AppendNumber(out, index);
    AppendText(out, outcome.program.name);
    AppendText(out, outcome.program.path);
    AppendText(out, outcome.program.problem);
    AppendText(out, outcome.program.row);
    AppendText(out, outcome.program.outputName);
    AppendNumber(out, static_cast<std::uint64_t>(outcome.verdict));
    AppendOptional(out, outcome.sasExitCode.has_value(), static_cast<std::uint64_t>(outcome.sasExitCode.value_or(0)));
    AppendNumber(out, static_cast<std::uint64_t>(outcome.logLines.errorLines));
    AppendNumber(out, static_cast<std::uint64_t>(outcome.logLines.warningLines));
    AppendText(out, outcome.problem);
    AppendText(out, outcome.consoleLine);
    AppendText(out, outcome.logFile);
    AppendOptional(out, outcome.logBytes.has_value(), outcome.logBytes.value_or(0));
    AppendText(out, outcome.lstFile);
    AppendNumber(out, outcome.cleaned);
    AppendNumber(out, std::bit_cast<std::uint64_t>(outcome.seconds));
    AppendNumber(out, encoding);
    const std::optional<ProgramOutcome::StoredFindings> stored = outcome.Stored();
    AppendNumber(out, stored.has_value());
    AppendNumber(out, stored ? stored->place.offset : 0);
    AppendNumber(out, stored ? stored->place.bytes : 0);
    AppendNumber(out, stored && stored->anError);
    std::string size;
    AppendNumber(size, out.size() - SizeBytes);
    out.replace(0, SizeBytes, size);
    return out;
}

}  // namespace

OutcomeStore::OutcomeStore(std::shared_ptr<ScratchRecords> records, std::shared_ptr<const FindingStore> findings,
                           const BatchProgramList& programs)
    : records_(std::move(records)), findings_(std::move(findings)), programs_(programs), places_(programs.size()) {}

void OutcomeStore::Put(std::size_t index, ProgramOutcome&& outcome) {
    if (Has(index)) throw std::logic_error("a program's outcome is kept once");
    ++count_;
    // Findings that could not be stored keep the outcome in memory with them,
    // and so does a run whose parameters are not its program's.
    const bool storable = outcome.findings.empty() && outcome.program.parameters == programs_[index].parameters;
    if (storable) {
        auto known = std::find(encodings_.begin(), encodings_.end(), outcome.encoding);
        if (known == encodings_.end()) known = encodings_.insert(encodings_.end(), outcome.encoding);
        const auto encoding = static_cast<std::uint64_t>(known - encodings_.begin());
        if (const std::optional<ScratchRecords::Place> place = records_->Put(Encoded(index, outcome, encoding))) {
            places_[index] = place->offset + 1;
            return;
        }
    }
    inMemory_.emplace(index, std::move(outcome));
}

ProgramOutcome OutcomeStore::Get(std::size_t index) const {
    if (const auto kept = inMemory_.find(index); kept != inMemory_.end()) return kept->second;
    if (places_.at(index) == 0) throw std::runtime_error("no outcome was kept for " + programs_[index].name);
    try {
        return ReadBack(index);
    } catch (const std::runtime_error& error) {
        // Another process of the user's may have changed the file.
        throw std::runtime_error(records_->Name() + ": the outcome of " + programs_[index].name +
                                 " cannot be read back: " + error.what());
    }
}

ProgramOutcome OutcomeStore::ReadBack(std::size_t index) const {
    const std::uint64_t offset = places_[index] - 1;
    const std::uint64_t size = record_coding::Reader(records_->Get({offset, SizeBytes})).Number();
    const std::string bytes = records_->Get({offset + SizeBytes, size});
    record_coding::Reader in(bytes);
    if (in.Number() != index) throw std::runtime_error("the kept outcomes are damaged");
    ProgramOutcome outcome;
    outcome.program.name = in.Text();
    outcome.program.path = in.Text();
    outcome.program.problem = in.Text();
    outcome.program.row = in.Text();
    outcome.program.outputName = in.Text();
    outcome.program.parameters = programs_[index].parameters;
    outcome.verdict = static_cast<ProgramOutcome::Verdict>(in.Number());
    const bool hasExitCode = in.Number() != 0;
    const auto exitCode = static_cast<int>(in.Number());
    if (hasExitCode) outcome.sasExitCode = exitCode;
    outcome.logLines.errorLines = static_cast<long>(in.Number());
    outcome.logLines.warningLines = static_cast<long>(in.Number());
    outcome.problem = in.Text();
    outcome.consoleLine = in.Text();
    outcome.logFile = in.Text();
    const bool hasLogBytes = in.Number() != 0;
    const std::uint64_t logBytes = in.Number();
    if (hasLogBytes) outcome.logBytes = logBytes;
    outcome.lstFile = in.Text();
    outcome.cleaned = in.Number() != 0;
    outcome.seconds = std::bit_cast<double>(in.Number());
    const std::uint64_t encoding = in.Number();
    if (encoding >= encodings_.size()) throw std::runtime_error("the kept outcomes are damaged");
    outcome.encoding = encodings_[static_cast<std::size_t>(encoding)];
    const bool stored = in.Number() != 0;
    ProgramOutcome::StoredFindings findings;
    findings.place.offset = in.Number();
    findings.place.bytes = in.Number();
    findings.anError = in.Number() != 0;
    if (stored) outcome.FindingsIn(findings_, findings);
    if (!in.AtEnd()) throw std::runtime_error("the kept outcomes are damaged");
    return outcome;
}

}  // namespace tamberlo::cli
