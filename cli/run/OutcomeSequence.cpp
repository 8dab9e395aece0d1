#include "cli/run/OutcomeSequence.h"

namespace tamberlo::cli {

const ProgramOutcome& OutcomeSequence::Iterator::operator*() const {
    if (!current_) current_.emplace(sequence_->read_(index_));
    return *current_;
}

OutcomeSequence::OutcomeSequence(const std::vector<ProgramOutcome>& outcomes)
    : size_(outcomes.size()), read_([&outcomes](std::size_t index) { return outcomes[index]; }) {}

}  // namespace tamberlo::cli
