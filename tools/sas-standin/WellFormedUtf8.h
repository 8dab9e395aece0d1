#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tamberlo::standin {

// UTF-8 as the Unicode Standard defines it: its table of well-formed byte
// sequences (chapter 3, table 3-7), one row per range of first bytes, giving
// the range each following byte must fall in. Nothing is decoded: a sequence
// is well formed exactly when its bytes fall in the ranges of one row, which
// already rules out overlong forms, surrogates and code points past U+10FFFF.
class WellFormedUtf8 {
public:
    // The length (1 to 4) of the well-formed sequence that starts at `pos`,
    // or 0 when the bytes there start none (a sequence cut short by the end
    // of the text included). `pos` must be inside the text.
    static std::size_t SequenceAt(std::string_view text, std::size_t pos);

    // Where the first byte that starts no well-formed sequence is, walking
    // from one sequence to the next; text.size() when every byte is part of
    // one.
    static std::size_t FirstIllFormed(std::string_view text);

    // The numbers of the program's lines (records, from 1, each ended by a
    // line feed) that hold a byte of no well-formed sequence, each once, in
    // order.
    static std::vector<int> RecordsNotUtf8(std::string_view program);
};

}  // namespace tamberlo::standin
