#pragma once

#include "cli/batch/BatchProgramList.h"
#include "cli/findings/FindingStore.h"
#include "cli/run/ProgramOutcome.h"
#include "cli/base/ScratchRecords.h"
#include "host/SessionEncoding.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace tamberlo::cli {

// The outcomes of a batch's finished programs, by their place in its list,
// in the batch's scratch records beside their findings: memory holds where
// each is (8 bytes a program), not the outcome, and each comes back when it
// is asked for. An outcome that cannot go there (no folder, a full disk, or
// findings that stayed in memory) stays in memory: none is lost. Used from
// one thread.
class OutcomeStore {
public:
    // For the programs of `programs`, which must outlive the store; the
    // outcomes' stored findings are in `findings`.
    OutcomeStore(std::shared_ptr<ScratchRecords> records, std::shared_ptr<const FindingStore> findings,
                 const BatchProgramList& programs);

    // Keeps the outcome of the program at `index` of the list.
    void Put(std::size_t index, ProgramOutcome&& outcome);

    bool Has(std::size_t index) const { return places_.at(index) != 0 || inMemory_.count(index) != 0; }
    std::size_t Count() const noexcept { return count_; }

    // The outcome put for the program at `index`, as it was put. Throws
    // std::runtime_error when there is none or it cannot be read back.
    ProgramOutcome Get(std::size_t index) const;

private:
    ProgramOutcome ReadBack(std::size_t index) const;

    std::shared_ptr<ScratchRecords> records_;
    std::shared_ptr<const FindingStore> findings_;
    const BatchProgramList& programs_;
    std::vector<std::uint64_t> places_;  // each outcome's offset in the records, plus one; 0: none there
    std::map<std::size_t, ProgramOutcome> inMemory_;
    std::vector<SessionEncoding> encodings_;  // of the outcomes, each once
    std::size_t count_ = 0;
};

}  // namespace tamberlo::cli
