#pragma once

#include "cli/base/ScratchFolder.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tamberlo::cli {

// One file of records in a scratch folder of the batch's own
// (tmpFindings.<process>...), for what it keeps of its finished programs
// until the reports are written: memory holds where a record is, not the
// record. The folder and file are made at the first Put and go with the
// object; a batch that was killed leaves them to the next one. Put and Get
// may be called from any thread.
class ScratchRecords {
public:
    // Where one record is in the file.
    struct Place {
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
    };

    ScratchRecords() = default;
    ~ScratchRecords() = default;
    ScratchRecords(const ScratchRecords&) = delete;
    ScratchRecords& operator=(const ScratchRecords&) = delete;

    // Appends `bytes` and says where they are; nothing when they could not
    // be written (no folder, a full disk): the caller then keeps what they
    // hold in memory. Once a write has failed, none is tried again.
    std::optional<Place> Put(std::string_view bytes);

    // The bytes put at `place`. Throws std::runtime_error when they cannot
    // be read back whole.
    std::string Get(const Place& place) const;

    // The file, as messages name it.
    std::string Name() const;

private:
    bool Open();

    mutable std::mutex mutex_;
    std::optional<ScratchFolder> folder_;
    mutable std::fstream file_;
    std::uint64_t end_ = 0;
    bool failed_ = false;
};

}  // namespace tamberlo::cli
