#include "cli/base/ScratchRecords.h"

#include "cli/base/CommandText.h"

#include <stdexcept>

namespace tamberlo::cli {

bool ScratchRecords::Open() {
    if (failed_) return false;
    if (file_.is_open()) return true;
    try {
        folder_.emplace("tmpFindings.");
        file_.open(commandtext::ToPath(folder_->Path() + "/kept"),
                   std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary);
    } catch (const std::exception&) {
        // No folder: the records stay in memory.
    }
    failed_ = !file_.is_open();
    return !failed_;
}

std::optional<ScratchRecords::Place> ScratchRecords::Put(std::string_view bytes) {
    const std::lock_guard lock(mutex_);
    if (!Open()) return std::nullopt;
    file_.seekp(static_cast<std::streamoff>(end_));
    file_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    // Written through, so that a full disk is seen here, where the record
    // can still stay in memory, and not at a later read.
    file_.flush();
    if (!file_) {
        failed_ = true;
        return std::nullopt;
    }
    const Place place{end_, bytes.size()};
    end_ += bytes.size();
    return place;
}

std::string ScratchRecords::Name() const {
    return (folder_ ? folder_->Path() : std::string("the scratch folder")) + "/kept";
}

std::string ScratchRecords::Get(const Place& place) const {
    const std::lock_guard lock(mutex_);
    // A place past what was written (a size read from a damaged record) is
    // refused before its bytes are made room for.
    if (place.offset > end_ || place.bytes > end_ - place.offset)
        throw std::runtime_error(Name() + ": cannot read back what was kept there");
    std::string bytes(static_cast<std::size_t>(place.bytes), '\0');
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(place.offset));
    file_.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file_ || static_cast<std::uint64_t>(file_.gcount()) != place.bytes) {
        file_.clear();
        throw std::runtime_error(Name() + ": cannot read back what was kept there");
    }
    return bytes;
}

}  // namespace tamberlo::cli
