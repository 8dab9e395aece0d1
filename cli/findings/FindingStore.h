#pragma once

#include "cli/findings/LogFindings.h"
#include "cli/base/ScratchFolder.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

namespace tamberlo::cli {

// The kept findings of a batch's finished programs, in one file of a
// scratch folder of its own, so that memory holds where a program's
// findings are and not the findings: a batch of many programs with many
// findings each stays flat. The folder and file are made at the first Put
// and go with the store. Put and Get may be called from any thread.
class FindingStore {
public:
    // Where one program's findings are in the file.
    struct Place {
        std::uint64_t offset = 0;
        std::uint64_t bytes = 0;
    };

    FindingStore() = default;
    ~FindingStore() = default;
    FindingStore(const FindingStore&) = delete;
    FindingStore& operator=(const FindingStore&) = delete;

    // Writes `findings` to the file and says where they are; nothing when
    // they could not be written (no folder, a full disk): the caller then
    // keeps them in memory. Once a write has failed, none is tried again.
    std::optional<Place> Put(const std::vector<Finding>& findings);

    // The findings put at `place`, as they were put. Throws
    // std::runtime_error when the file cannot be read back whole.
    std::vector<Finding> Get(const Place& place) const;

private:
    bool Open();

    mutable std::mutex mutex_;
    std::optional<ScratchFolder> folder_;
    mutable std::fstream file_;
    std::uint64_t end_ = 0;
    bool failed_ = false;
};

}  // namespace tamberlo::cli
