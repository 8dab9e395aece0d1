#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace tamberlo::cli {

// Patterns searched in a line together: one pass of one automaton over the
// line, however many patterns there are, where each pattern on its own
// would search the line again. Immutable once built, shared by threads.
class PatternSet {
public:
    // Appends a compiled pattern (all of one set with the same options).
    void Add(std::shared_ptr<const re2::RE2> regex);

    bool Empty() const noexcept { return regexes_.empty(); }
    // The position (in the order added) of the first pattern found anywhere
    // in the line, or none.
    std::optional<std::size_t> FirstMatch(std::string_view line) const;

private:
    class Combined;

    std::vector<std::shared_ptr<const re2::RE2>> regexes_;
    std::shared_ptr<const Combined> combined_;
};

}  // namespace tamberlo::cli
