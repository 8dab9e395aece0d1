#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace tamberlo::cli {

// The position of the first CR or LF at or after `from`, or npos: what
// `text.find_first_of("\r\n", from)` gives, eight bytes at a time (the
// standard form looks each byte up in the set on its own, which made it
// most of the time of scanning a large log).
inline std::size_t NextLineBreak(std::string_view text, std::size_t from) noexcept {
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    const char* const data = text.data();
    for (; from + 8 <= text.size(); from += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + from, sizeof word);
        const std::uint64_t cr = word ^ (ones * '\r');
        const std::uint64_t lf = word ^ (ones * '\n');
        // A lane's high bit is set where it is zero (the lowest such lane is
        // always right; a borrow can only mark lanes above it).
        const std::uint64_t found = (((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs;
        if (found != 0) {
            if constexpr (std::endian::native == std::endian::little)
                return from + static_cast<std::size_t>(__builtin_ctzll(found)) / 8;
            break;
        }
    }
    for (; from < text.size(); ++from) {
        if (data[from] == '\r' || data[from] == '\n') return from;
    }
    return std::string_view::npos;
}

}  // namespace tamberlo::cli
