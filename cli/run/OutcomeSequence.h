#pragma once

#include "cli/run/ProgramOutcome.h"

#include <cstddef>
#include <functional>
#include <iterator>
#include <optional>
#include <vector>

namespace tamberlo::cli {

// The outcomes the table and the reports go through, in list order, one at
// a time: each is made (read back from disk, for a batch) when it is
// reached and let go at the next, so that going through tens of thousands
// holds one. A report that needs totals before its body goes through twice.
class OutcomeSequence {
public:
    using Reader = std::function<ProgramOutcome(std::size_t index)>;

    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = ProgramOutcome;
        using difference_type = std::ptrdiff_t;
        using pointer = const ProgramOutcome*;
        using reference = const ProgramOutcome&;

        Iterator(const OutcomeSequence& sequence, std::size_t index) : sequence_(&sequence), index_(index) {}
        const ProgramOutcome& operator*() const;
        const ProgramOutcome* operator->() const { return &**this; }
        Iterator& operator++() {
            ++index_;
            current_.reset();
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return index_ == other.index_; }

    private:
        const OutcomeSequence* sequence_;
        std::size_t index_;
        mutable std::optional<ProgramOutcome> current_;
    };

    // `size` outcomes, the one at each place made by `read`.
    OutcomeSequence(std::size_t size, Reader read) : size_(size), read_(std::move(read)) {}
    // Those of `outcomes`, which must outlive the sequence, each copied as
    // it is reached (a single run's, a test's).
    OutcomeSequence(const std::vector<ProgramOutcome>& outcomes);  // NOLINT: a vector is a sequence

    std::size_t size() const noexcept { return size_; }
    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size_}; }

private:
    std::size_t size_;
    Reader read_;
};

}  // namespace tamberlo::cli
