#include "cli/findings/FindingStore.h"

#include "cli/base/RecordCoding.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace tamberlo::cli {
namespace {

using record_coding::AppendNumber;
using record_coding::AppendText;

// A program's findings as bytes: their number, then each finding's fields.
std::string Encoded(const std::vector<Finding>& findings) {
    std::string out;
    AppendNumber(out, findings.size());
    for (const Finding& finding : findings) {
        AppendNumber(out, static_cast<std::uint64_t>(finding.kind));
        AppendNumber(out, static_cast<std::uint64_t>(finding.logLine));
        AppendNumber(out, finding.programLine.has_value());
        AppendNumber(out, static_cast<std::uint64_t>(finding.programLine.value_or(0)));
        AppendText(out, finding.ruleId);
        AppendText(out, finding.includedFile);
        AppendText(out, finding.text);
    }
    return out;
}

std::vector<Finding> Decoded(std::string_view bytes) {
    record_coding::Reader in(bytes);
    const std::uint64_t count = in.Number();
    std::vector<Finding> findings;
    // Each finding takes at least its seven fields' lengths: a count past
    // that is no count this store wrote.
    if (count > bytes.size() / 56) throw std::runtime_error("the stored findings are damaged");
    findings.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        Finding& finding = findings.emplace_back();
        finding.kind = static_cast<LogLineClassifier::Kind>(in.Number());
        finding.logLine = static_cast<long>(in.Number());
        const bool hasProgramLine = in.Number() != 0;
        const auto programLine = static_cast<long>(in.Number());
        if (hasProgramLine) finding.programLine = programLine;
        finding.ruleId = in.Text();
        finding.includedFile = in.Text();
        finding.text = in.Text();
    }
    if (!in.AtEnd()) throw std::runtime_error("the stored findings are damaged");
    return findings;
}

}  // namespace

std::optional<FindingStore::Place> FindingStore::Put(const std::vector<Finding>& findings) {
    return records_->Put(Encoded(findings));
}

std::vector<Finding> FindingStore::Get(const Place& place) const { return Decoded(records_->Get(place)); }

}  // namespace tamberlo::cli
