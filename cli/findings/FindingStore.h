#pragma once

#include "cli/findings/LogFindings.h"
#include "cli/base/ScratchRecords.h"

#include <memory>
#include <optional>
#include <vector>

namespace tamberlo::cli {

// The kept findings of a batch's finished programs, in the batch's scratch
// records, so that memory holds where a program's findings are and not the
// findings: a batch of many programs with many findings each stays flat.
// Put and Get may be called from any thread.
class FindingStore {
public:
    using Place = ScratchRecords::Place;

    // Into `records`, which may hold other records too.
    explicit FindingStore(std::shared_ptr<ScratchRecords> records) : records_(std::move(records)) {}

    // Writes `findings` and says where they are; nothing when they could
    // not be written (no folder, a full disk): the caller then keeps them in
    // memory. Once a write has failed, none is tried again.
    std::optional<Place> Put(const std::vector<Finding>& findings);

    // The findings put at `place`, as they were put. Throws
    // std::runtime_error when they cannot be read back whole.
    std::vector<Finding> Get(const Place& place) const;

private:
    std::shared_ptr<ScratchRecords> records_;
};

}  // namespace tamberlo::cli
