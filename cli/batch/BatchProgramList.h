#pragma once

#include "cli/run/BatchProgram.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// The programs of a batch in their order, held compactly: every text of
// every program in one arena, each folder once for all the programs in it
// and each row's parameters once for all its runs, so that a list of tens
// of thousands of programs costs a few dozen bytes a program. A program is
// made from there each time it is asked for.
class BatchProgramList {
public:
    // Hands out each program by value, in list order.
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = BatchProgram;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = BatchProgram;

        Iterator(const BatchProgramList& list, std::size_t index) : list_(&list), index_(index) {}
        BatchProgram operator*() const { return (*list_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        bool operator==(const Iterator& other) const noexcept { return index_ == other.index_; }

    private:
        const BatchProgramList* list_;
        std::size_t index_;
    };

    // Appends a copy of `program`. Throws std::length_error past 4 GiB of texts.
    void Add(const BatchProgram& program);

    std::size_t size() const noexcept { return starts_.size(); }
    bool empty() const noexcept { return starts_.empty(); }
    BatchProgram operator[](std::size_t index) const;
    // The program's name alone, without making the program: valid while
    // the list is not changed.
    std::string_view Name(std::size_t index) const;

    Iterator begin() const { return {*this, 0}; }
    Iterator end() const { return {*this, size()}; }

private:
    std::string texts_;                  // every program's record, one after the other
    std::vector<std::uint32_t> starts_;  // where each program's record starts in texts_
    std::vector<std::string> folders_;   // the part of paths up to their last separator
    std::map<std::string, std::uint32_t, std::less<>> folderIndex_;
    std::vector<std::shared_ptr<const RunSettings>> parameters_;
    std::map<const RunSettings*, std::uint32_t> parametersIndex_;
};

}  // namespace tamberlo::cli
