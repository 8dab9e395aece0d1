#include "host/ControlChars.h"

#include "host/ProcessorFeatures.h"

#include <array>
#include <cstdint>
#include <string>

#if defined(TAMBERLO_X86_VECTORS)
#include <emmintrin.h>
#endif

namespace tamberlo {

namespace {

// For every byte: 0 when it stays as it is, else the length of its
// replacement ("%9" is 2, "%12" is 3).
constexpr std::array<unsigned char, 256> MakeReplacementLengths() {
    std::array<unsigned char, 256> lengths{};
    for (int code = 1; code < 32; ++code) {
        if (code != '\n' && code != '\r') lengths[code] = code < 10 ? 2 : 3;
    }
    return lengths;
}
constexpr auto ReplacementLength = MakeReplacementLengths();

#if defined(TAMBERLO_X86_VECTORS)
// 0xff in every lane whose byte the cleaning replaces: 1 to 31 but not LF or CR.
TAMBERLO_TARGET_SSE2 inline __m128i ReplacedLanes(__m128i bytes) {
    const __m128i atMost31 = _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(31)), bytes);
    const __m128i kept = _mm_or_si128(
        _mm_cmpeq_epi8(bytes, _mm_setzero_si128()),
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))));
    return _mm_andnot_si128(kept, atMost31);
}

TAMBERLO_TARGET_SSE2 inline unsigned ReplacedMask(const char* at) {
    return static_cast<unsigned>(
        _mm_movemask_epi8(ReplacedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)))));
}

// Whole blocks of 64 bytes, then of 16, from `from` on: the position of the
// first byte to replace, or where the whole blocks end.
TAMBERLO_TARGET_SSE2 std::size_t NextReplacedInBlocks(const char* data, std::size_t from, std::size_t size) {
    for (; size - from >= 64; from += 64) {
        const char* block = data + from;
        const __m128i any =
            _mm_or_si128(_mm_or_si128(ReplacedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block))),
                                      ReplacedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16)))),
                         _mm_or_si128(ReplacedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 32))),
                                      ReplacedLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 48)))));
        if (_mm_movemask_epi8(any) == 0) continue;
        for (std::size_t part = 0; part < 64; part += 16) {
            if (const unsigned mask = ReplacedMask(block + part)) {
                return from + part + static_cast<std::size_t>(__builtin_ctz(mask));
            }
        }
    }
    for (; size - from >= 16; from += 16) {
        if (const unsigned mask = ReplacedMask(data + from)) {
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return from;
}

#endif

// The position of the first byte at or after `from` that the cleaning
// replaces, or `size` when there is none. Listings and logs hold few such
// bytes (a form feed a page, a tab now and then; CR and LF stay), so whole
// blocks of 64 bytes are tested at once where the processor can.
std::size_t NextReplaced(const char* data, std::size_t from, std::size_t size) {
#if defined(TAMBERLO_X86_VECTORS)
    if (ActiveVectorLevel() >= VectorLevel::Sse2) from = NextReplacedInBlocks(data, from, size);
#endif
    for (; from < size; ++from) {
        if (ReplacementLength[static_cast<unsigned char>(data[from])] != 0) return from;
    }
    return size;
}

// How many bytes the replacements at or after `from` add to the text.
std::size_t AddedFrom(const char* data, std::size_t from, std::size_t size) {
    std::size_t added = 0;
    for (std::size_t at = NextReplaced(data, from, size); at < size; at = NextReplaced(data, at + 1, size)) {
        added += ReplacementLength[static_cast<unsigned char>(data[at])] - 1u;
    }
    return added;
}

}  // namespace

std::string CleanControlChars(std::string_view text) {
    std::string cleaned;
    AppendCleanControlChars(cleaned, text);
    return cleaned;
}

void AppendCleanControlChars(std::string& to, std::string_view text) {
    const char* const data = text.data();
    const std::size_t size = text.size();
    std::size_t next = NextReplaced(data, 0, size);
    if (next == size) {
        to.append(text);
        return;
    }

    // One pass: the runs between replacements are copied whole into room for
    // the text and a few replacements. Should the replacements need more
    // room than that, the rest of the text is counted once and the exact room
    // taken, so the result is never regrown step by step. Room that `to`
    // has already (a buffer used again) is used as it is.
    if (to.capacity() - to.size() < size) to.reserve(to.size() + size + size / 64 + 16);
    bool roomIsExact = false;
    std::size_t runStart = 0;
    while (next < size) {
        if (!roomIsExact && to.size() + (size - runStart) + 2 > to.capacity()) {
            to.reserve(to.size() + (size - runStart) + AddedFrom(data, next, size));
            roomIsExact = true;
        }
        to.append(data + runStart, next - runStart);
        const unsigned code = static_cast<unsigned char>(data[next]);
        char replacement[3] = {'%', static_cast<char>('0' + code / 10), static_cast<char>('0' + code % 10)};
        if (code < 10) {
            replacement[1] = replacement[2];
            to.append(replacement, 2);
        } else {
            to.append(replacement, 3);
        }
        runStart = next + 1;
        next = NextReplaced(data, runStart, size);
    }
    to.append(data + runStart, size - runStart);
}

bool NeedsCleaning(std::string_view text) { return NextReplaced(text.data(), 0, text.size()) != text.size(); }

std::size_t CleanedSize(std::string_view text) { return text.size() + AddedFrom(text.data(), 0, text.size()); }

namespace {

// `text` with each byte below 32 or of 127 for which `replaced` is true
// as "%" and its code.
template <typename Replaced>
std::string WithCodes(std::string_view text, Replaced replaced) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        if ((code < 32 || code == 127) && replaced(code)) {
            out.append("%").append(std::to_string(code));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::string CleanEveryControlChar(std::string_view text) {
    // Logs rarely hold either: the fast cleaning then does it all.
    if (text.find('\0') == std::string_view::npos && text.find('\x7F') == std::string_view::npos) {
        return CleanControlChars(text);
    }
    return WithCodes(text, [](unsigned char code) { return code != '\n' && code != '\r'; });
}

std::string AllControlCharsAsCodes(std::string_view text) {
    return WithCodes(text, [](unsigned char) { return true; });
}

}  // namespace tamberlo
