#pragma once

#include <cstddef>
#include <cstdint>
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
// would search the line again. Searches run RE2's DFA, in time linear in
// the line at the automaton's speed: a set whose automaton does not fit in
// AutomatonMemory is refused when compiled, never searched by the far
// slower NFA that RE2 falls back to. Immutable once compiled, shared by
// threads.
class PatternSet {
public:
    // What each automaton of a set may take, its compiled program and its
    // cache of states together (RE2's max_mem); states are made as lines
    // need them, so a small set takes little of it.
    static constexpr std::int64_t AutomatonMemory = std::int64_t{64} << 20;

    // Appends a compiled pattern (all of one set with the same options).
    void Add(std::shared_ptr<const re2::RE2> regex);
    // Builds the automata of the patterns added; needed before FirstMatch
    // and again after an Add. Throws std::length_error saying why when the
    // patterns together are too large for an automaton in AutomatonMemory.
    void Compile();

    bool Empty() const noexcept { return regexes_.empty(); }
    // The position (in the order added) of the first pattern found anywhere
    // in the line, or none. Throws std::length_error should an automaton
    // run out of memory all the same.
    std::optional<std::size_t> FirstMatch(std::string_view line) const;

private:
    class Combined;

    std::vector<std::shared_ptr<const re2::RE2>> regexes_;
    std::shared_ptr<const Combined> combined_;
};

}  // namespace tamberlo::cli
