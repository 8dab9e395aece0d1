#include "cli/findings/FindingStore.h"

#include "cli/base/CommandText.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace tamberlo::cli {
namespace {

// A program's findings as bytes: their number, then each finding's fields,
// numbers as 8 bytes little-endian and texts as their length and bytes.
void AppendNumber(std::string& out, std::uint64_t value) {
    for (int byte = 0; byte < 8; ++byte) out.push_back(static_cast<char>(value >> (8 * byte) & 0xFF));
}

void AppendText(std::string& out, const std::string& text) {
    AppendNumber(out, text.size());
    out.append(text);
}

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

// Reads back what Encoded wrote; throws when the bytes end too soon.
class Decoder {
public:
    explicit Decoder(std::string_view bytes) : rest_(bytes) {}

    std::uint64_t Number() {
        const std::string_view bytes = Take(8);
        std::uint64_t value = 0;
        for (int byte = 7; byte >= 0; --byte) value = value << 8 | static_cast<unsigned char>(bytes[byte]);
        return value;
    }
    std::string Text() {
        const std::uint64_t size = Number();
        return std::string(Take(size));
    }
    bool AtEnd() const noexcept { return rest_.empty(); }

private:
    std::string_view Take(std::uint64_t size) {
        if (size > rest_.size()) throw std::runtime_error("the stored findings are cut short");
        const std::string_view taken = rest_.substr(0, static_cast<std::size_t>(size));
        rest_.remove_prefix(static_cast<std::size_t>(size));
        return taken;
    }

    std::string_view rest_;
};

std::vector<Finding> Decoded(std::string_view bytes) {
    Decoder in(bytes);
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

bool FindingStore::Open() {
    if (failed_) return false;
    if (file_.is_open()) return true;
    try {
        folder_.emplace("tmpFindings.");
        file_.open(commandtext::ToPath(folder_->Path() + "/findings"),
                   std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    } catch (const std::exception&) {
        // No folder: the findings stay in memory.
    }
    failed_ = !file_.is_open();
    return !failed_;
}

std::optional<FindingStore::Place> FindingStore::Put(const std::vector<Finding>& findings) {
    const std::string bytes = Encoded(findings);
    const std::lock_guard lock(mutex_);
    if (!Open()) return std::nullopt;
    file_.seekp(static_cast<std::streamoff>(end_));
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // Written through, so that a full disk is seen here, where the
    // findings can still stay in memory, and not at a later read.
    file_.flush();
    if (!file_) {
        failed_ = true;
        return std::nullopt;
    }
    const Place place{end_, bytes.size()};
    end_ += bytes.size();
    return place;
}

std::vector<Finding> FindingStore::Get(const Place& place) const {
    std::string bytes(static_cast<std::size_t>(place.bytes), '\0');
    {
        const std::lock_guard lock(mutex_);
        file_.clear();
        file_.seekg(static_cast<std::streamoff>(place.offset));
        file_.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!file_ || static_cast<std::uint64_t>(file_.gcount()) != place.bytes) {
            file_.clear();
            throw std::runtime_error(folder_->Path() + "/findings: cannot read back the findings kept there");
        }
    }
    return Decoded(bytes);
}

}  // namespace tamberlo::cli
