#include "engine/PutFileScan.h"

#include "engine/SASContract.h"
#include "host/ProcessorFeatures.h"

#include <array>
#include <cstdint>

#if defined(TAMBERLO_X86_VECTORS)
#include <immintrin.h>
#endif

namespace tamberlo {

namespace {

constexpr int Limit = sas::MaxPutFileNumber + 1;

// One bit per number below Limit.
class Found {
public:
    void set(std::size_t n) noexcept {
        words_[n / 64] |= std::uint64_t{1} << (n % 64);
        any_ = true;
    }
    // The numbers whose bits are set, in ascending order; a word at a time,
    // so that a program with few mentions costs few steps, and one without
    // any none.
    std::vector<int> Numbers() const {
        std::vector<int> numbers;
        if (!any_) return numbers;
        for (std::size_t word = 0; word < words_.size(); ++word) {
            for (std::uint64_t bits = words_[word]; bits != 0; bits &= bits - 1) {
                numbers.push_back(static_cast<int>(word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits))));
            }
        }
        return numbers;
    }

private:
    std::array<std::uint64_t, (Limit + 63) / 64> words_{};
    bool any_ = false;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// `underscore` starts "_PU" in any letter case. When "T" and a digit 1-9
// follow, records the numbers of the first one to four digits: the substring
// search of each number finds no more.
inline void TakeMention(const char* underscore, const char* end, Found& found) {
    if (end - underscore < 5 || (underscore[3] | 0x20) != 't' || underscore[4] < '1' || underscore[4] > '9') return;
    int number = 0;
    for (const char* digit = underscore + 4; digit < end && digit < underscore + 8 && IsDigit(*digit); ++digit) {
        number = number * 10 + (*digit - '0');
        found.set(static_cast<std::size_t>(number));
    }
}

// Bit i of `mask` stands for a "_PU" starting at block + i.
inline void TakeMentions(std::uint64_t mask, const char* block, const char* end, Found& found) {
    for (; mask != 0; mask &= mask - 1) TakeMention(block + __builtin_ctzll(mask), end, found);
}

// Programs are full of underscores (_null_, _n_, names such as region_id or
// unit_price), so the blocks below look for the three bytes "_PU" at once
// (the case bit set, only "P"/"p" become "p" and "U"/"u" become "u") and stop
// only where all three match. Every block of 64 also reads the two bytes
// after it.

#if defined(TAMBERLO_X86_VECTORS)
TAMBERLO_TARGET_AVX2 inline unsigned UnderscorePU32(const char* at) {
    const __m256i caseBit = _mm256_set1_epi8(0x20);
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
    const __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 2));
    const __m256i match =
        _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8('_')),
                         _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_or_si256(second, caseBit), _mm256_set1_epi8('p')),
                                          _mm256_cmpeq_epi8(_mm256_or_si256(third, caseBit), _mm256_set1_epi8('u'))));
    return static_cast<unsigned>(_mm256_movemask_epi8(match));
}

// Returns where the whole blocks end.
TAMBERLO_TARGET_AVX2 const char* ScanBlocksAvx2(const char* p, const char* end, Found& found) {
    for (; end - p >= 66; p += 64) {
        const std::uint64_t mask = std::uint64_t{UnderscorePU32(p)} | std::uint64_t{UnderscorePU32(p + 32)} << 32;
        if (mask != 0) TakeMentions(mask, p, end, found);
    }
    return p;
}

TAMBERLO_TARGET_SSE2 inline unsigned UnderscorePU16(const char* at) {
    const __m128i caseBit = _mm_set1_epi8(0x20);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    const __m128i third = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 2));
    const __m128i match =
        _mm_and_si128(_mm_cmpeq_epi8(first, _mm_set1_epi8('_')),
                      _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(second, caseBit), _mm_set1_epi8('p')),
                                    _mm_cmpeq_epi8(_mm_or_si128(third, caseBit), _mm_set1_epi8('u'))));
    return static_cast<unsigned>(_mm_movemask_epi8(match));
}

TAMBERLO_TARGET_SSE2 const char* ScanBlocksSse2(const char* p, const char* end, Found& found) {
    for (; end - p >= 66; p += 64) {
        const std::uint64_t mask = std::uint64_t{UnderscorePU16(p)} | std::uint64_t{UnderscorePU16(p + 16)} << 16 |
                                   std::uint64_t{UnderscorePU16(p + 32)} << 32 |
                                   std::uint64_t{UnderscorePU16(p + 48)} << 48;
        if (mask != 0) TakeMentions(mask, p, end, found);
    }
    return p;
}
#endif

}  // namespace

std::vector<int> FindPutFileNumbers(std::string_view program) {
    Found found;

    const char* const end = program.data() + program.size();
    const char* p = program.data();
#if defined(TAMBERLO_X86_VECTORS)
    const VectorLevel level = ActiveVectorLevel();
    if (level >= VectorLevel::Avx2) p = ScanBlocksAvx2(p, end, found);
    if (level >= VectorLevel::Sse2) p = ScanBlocksSse2(p, end, found);
#endif
    for (; end - p >= 3; ++p) {
        if (p[0] == '_' && (p[1] | 0x20) == 'p' && (p[2] | 0x20) == 'u') TakeMention(p, end, found);
    }
    return found.Numbers();
}

}  // namespace tamberlo
