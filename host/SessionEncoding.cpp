#include "host/SessionEncoding.h"

#include "host/ProcessorFeatures.h"

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(TAMBERLO_X86_VECTORS)
#include <emmintrin.h>
#endif

namespace tamberlo {

namespace {

struct NamedEncoding {
    const char* key;  // upper case, without '-' and '_'
    const char* name;
    unsigned codePage;
    const char* converter;
};

// SAS's names. EUC-CN and EUC-KR use the Windows code pages that extend them.
constexpr std::array<NamedEncoding, 16> Table{{
    {"UTF8", "UTF-8", 65001, "UTF-8"},
    {"WLATIN1", "WLATIN1", 1252, "CP1252"},
    {"LATIN1", "LATIN1", 28591, "ISO-8859-1"},
    {"WLATIN2", "WLATIN2", 1250, "CP1250"},
    {"LATIN2", "LATIN2", 28592, "ISO-8859-2"},
    {"LATIN9", "LATIN9", 28605, "ISO-8859-15"},
    {"WCYRILLIC", "WCYRILLIC", 1251, "CP1251"},
    {"SHIFTJIS", "SHIFT-JIS", 932, "CP932"},
    {"SJIS", "SHIFT-JIS", 932, "CP932"},
    {"EUCJP", "EUC-JP", 20932, "EUC-JP"},
    {"EUCCN", "EUC-CN", 936, "GB2312"},
    {"GB2312", "EUC-CN", 936, "GB2312"},
    {"BIG5", "BIG5", 950, "BIG5"},
    {"EUCKR", "EUC-KR", 949, "EUC-KR"},
    {"USASCII", "US-ASCII", 20127, "ASCII"},
    {"ASCII", "US-ASCII", 20127, "ASCII"},
}};

std::string Key(std::string_view name) {
    std::string key;
    for (const char c : name) {
        if (c == '-' || c == '_') continue;
        key.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return key;
}

constexpr std::string_view Bom = "\xEF\xBB\xBF";

}  // namespace

UnrepresentableCharacter::UnrepresentableCharacter(char32_t codePoint, std::size_t offset, bool notUtf8)
    : std::runtime_error("unrepresentable character"), codePoint_(codePoint), offset_(offset), notUtf8_(notUtf8) {}

std::string UnrepresentableCharacter::Describe() const {
    char text[48];
    if (notUtf8_) {
        std::snprintf(text, sizeof text, "the byte 0x%02X, which is not UTF-8", static_cast<unsigned>(codePoint_));
    } else {
        std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(codePoint_));
    }
    return text;
}

std::optional<SessionEncoding> SessionEncoding::FromName(std::string_view name) {
    const std::string key = Key(name);
    if (key == "ANY") {
        SessionEncoding any = PlatformDefault();
        any.name_ = "ANY";
        return any;
    }
    for (const NamedEncoding& row : Table) {
        if (key == row.key) return SessionEncoding(row.name, row.codePage, row.converter);
    }
    return std::nullopt;
}

bool SessionEncoding::IsUtf8() const noexcept { return codePage_ == 65001; }

std::string_view SessionEncoding::WithoutBom(std::string_view bytes) const noexcept {
    if (IsUtf8() && bytes.substr(0, Bom.size()) == Bom) bytes.remove_prefix(Bom.size());
    return bytes;
}

bool SessionEncoding::IsOwnUtf8(std::string_view bytes) const noexcept {
    if (!IsUtf8()) return utf8::IsAscii(bytes);
    return WithoutBom(bytes).size() == bytes.size() && utf8::FirstInvalid(bytes) == std::string_view::npos;
}

std::string SessionEncoding::FromUtf8Or(std::string_view utf8, std::string_view fallback) const {
    try {
        return FromUtf8(utf8);
    } catch (const UnrepresentableCharacter&) {
        return std::string(fallback);
    }
}

std::size_t SessionEncoding::WholeCharacters(std::string_view bytes) const noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (IsUtf8()) {
        // Back over the continuation bytes to the last sequence's lead.
        std::size_t lead = bytes.size();
        while (lead > 0 && bytes.size() - lead < 4 && (byte(lead - 1) & 0xC0u) == 0x80u) --lead;
        if (lead == 0) return bytes.size();
        const unsigned char first = byte(lead - 1);
        const std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
        return bytes.size() - (lead - 1) < length ? lead - 1 : bytes.size();
    }
    // The length of the character that a byte starts, by the encoding's lead bytes.
    std::size_t (*length)(unsigned char lead) = nullptr;
    switch (codePage_) {
    case 932:
        length = [](unsigned char lead) -> std::size_t {
            return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC) ? 2 : 1;
        };
        break;
    case 20932:
        length = [](unsigned char lead) -> std::size_t {
            return lead == 0x8F ? 3 : lead == 0x8E || lead >= 0xA1 ? 2 : 1;
        };
        break;
    case 936:
    case 949:
    case 950: length = [](unsigned char lead) -> std::size_t { return lead >= 0x81 && lead != 0xFF ? 2 : 1; }; break;
    default: return bytes.size();  // one byte a character
    }
    std::size_t pos = 0;
    for (std::size_t next = 0; next < bytes.size(); next += length(byte(next))) pos = next;
    return pos + length(byte(pos)) > bytes.size() && !bytes.empty() ? pos : bytes.size();
}

std::string SessionEncoding::CodePageName(unsigned codePage) {
    for (const NamedEncoding& row : Table) {
        if (row.codePage == codePage) return row.name;
    }
    return "CP" + std::to_string(codePage);
}

namespace utf8 {

std::size_t SequenceLength(std::string_view text, std::size_t pos) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned codePoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07u;
    } else
        return 0;
    if (pos + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0u) != 0x80u) return 0;
        codePoint = (codePoint << 6) | (byte(pos + i) & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
    return length;
}

char32_t Decode(std::string_view text, std::size_t pos, std::size_t length) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
    if (length == 1) return byte(0);
    char32_t codePoint = byte(0) & (length == 2 ? 0x1Fu : length == 3 ? 0x0Fu : 0x07u);
    for (std::size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (byte(i) & 0x3Fu);
    return codePoint;
}

void Append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

namespace {

bool UseVectors() noexcept { return ActiveVectorLevel() >= VectorLevel::Sse2; }

#if defined(TAMBERLO_X86_VECTORS)
TAMBERLO_TARGET_SSE2 inline unsigned HighBits(const char* at) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))));
}

// Whole blocks from `from` on: the position of the first byte that is not
// ASCII, or where the whole blocks end.
TAMBERLO_TARGET_SSE2 std::size_t NextNonAsciiInBlocks(const char* data, std::size_t from, std::size_t size) noexcept {
    for (; size - from >= 32; from += 32) {
        if (const unsigned mask = HighBits(data + from) | (HighBits(data + from + 16) << 16)) {
            return from + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    for (; size - from >= 16; from += 16) {
        if (const unsigned mask = HighBits(data + from)) return from + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    return from;
}

// Widens the text's leading ASCII bytes into the 16-bit units at `out`, a
// block of 16 at a time while the text and the room (in units) hold one.
// A block with other bytes is widened whole, but only its ASCII start
// counts: the units after it are written over by what comes next. Returns
// how many bytes became units.
TAMBERLO_TARGET_SSE2 std::size_t WidenAsciiBlocks(const char* data, std::size_t size, void* out,
                                                  std::size_t room) noexcept {
    char* const units = static_cast<char*>(out);
    const __m128i zero = _mm_setzero_si128();
    std::size_t done = 0;
    for (; size - done >= 16 && room - done >= 16; done += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + done));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 2 * done), _mm_unpacklo_epi8(bytes, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(units + 2 * done + 16), _mm_unpackhi_epi8(bytes, zero));
        if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(bytes))) {
            return done + static_cast<std::size_t>(__builtin_ctz(mask));
        }
    }
    return done;
}
#endif

// The position of the first byte at or after `from` that is not ASCII, or
// `size`. Logs are mostly ASCII: whole blocks are tested at once.
std::size_t NextNonAscii(const char* data, std::size_t from, std::size_t size, bool vectors) noexcept {
#if defined(TAMBERLO_X86_VECTORS)
    if (vectors) from = NextNonAsciiInBlocks(data, from, size);
#else
    (void)vectors;
#endif
    for (; size - from >= 8; from += 8) {
        std::uint64_t word;
        std::memcpy(&word, data + from, sizeof word);
        if (word & 0x8080808080808080ull) break;
    }
    while (from < size && static_cast<unsigned char>(data[from]) < 0x80) ++from;
    return from;
}

// The leading ASCII bytes widened into `out` (room for `room` units), as
// WidenAscii.
template <typename Unit>
std::size_t WidenAsciiUnits(const char* data, std::size_t size, Unit* out, std::size_t room, bool vectors) noexcept {
    static_assert(sizeof(Unit) == 2);
    std::size_t done = 0;
#if defined(TAMBERLO_X86_VECTORS)
    if (vectors) done = WidenAsciiBlocks(data, size, out, room);
#else
    (void)vectors;
#endif
    for (; done < size && done < room && static_cast<unsigned char>(data[done]) < 0x80; ++done) {
        out[done] = static_cast<Unit>(data[done]);
    }
    return done;
}

template <typename Unit>
std::size_t ToUtf16Units(std::string_view text, Unit* out, std::size_t capacity) noexcept {
    const char* const data = text.data();
    const std::size_t size = text.size();
    const bool vectors = UseVectors();
    std::size_t at = 0;
    for (std::size_t pos = 0; pos < size;) {
        const std::size_t done = WidenAsciiUnits(data + pos, size - pos, out + at, capacity - at, vectors);
        pos += done;
        at += done;
        if (pos < size && static_cast<unsigned char>(data[pos]) < 0x80) return std::string_view::npos;  // no room
        while (pos < size && static_cast<unsigned char>(data[pos]) >= 0x80) {
            const std::size_t length = SequenceLength(text, pos);
            char32_t c = length == 0 ? 0xFFFD : Decode(text, pos, length);
            pos += length == 0 ? 1 : length;
            if (c >= 0x10000) {
                if (capacity - at < 2) return std::string_view::npos;
                c -= 0x10000;
                out[at++] = static_cast<Unit>(0xD800 + (c >> 10));
                out[at++] = static_cast<Unit>(0xDC00 + (c & 0x3FF));
            } else {
                if (at == capacity) return std::string_view::npos;
                out[at++] = static_cast<Unit>(c);
            }
        }
    }
    return at;
}

}  // namespace

std::size_t FirstInvalid(std::string_view text) noexcept {
    const bool vectors = UseVectors();
    for (std::size_t pos = 0; pos < text.size();) {
        pos = NextNonAscii(text.data(), pos, text.size(), vectors);
        if (pos >= text.size()) break;
        const std::size_t length = SequenceLength(text, pos);
        if (length == 0) return pos;
        pos += length;
    }
    return std::string_view::npos;
}

bool IsAscii(std::string_view text) noexcept {
    return NextNonAscii(text.data(), 0, text.size(), UseVectors()) == text.size();
}

std::size_t Utf16Length(std::string_view text, std::size_t* undecodable) noexcept {
    const bool vectors = UseVectors();
    std::size_t units = 0;
    std::size_t invalid = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t next = NextNonAscii(text.data(), pos, text.size(), vectors);
        units += next - pos;
        pos = next;
        while (pos < text.size() && static_cast<unsigned char>(text[pos]) >= 0x80) {
            const std::size_t length = SequenceLength(text, pos);
            if (length == 0) {
                ++invalid;
                ++units;
                ++pos;
            } else {
                units += length == 4 ? 2 : 1;
                pos += length;
            }
        }
    }
    if (undecodable != nullptr) *undecodable = invalid;
    return units;
}

std::size_t ToUtf16(std::string_view text, char16_t* out, std::size_t capacity) noexcept {
    return ToUtf16Units(text, out, capacity);
}

#if defined(_WIN32)
std::size_t ToUtf16(std::string_view text, wchar_t* out, std::size_t capacity) noexcept {
    return ToUtf16Units(text, out, capacity);
}

std::size_t WidenAscii(std::string_view text, wchar_t* out, std::size_t room) noexcept {
    return WidenAsciiUnits(text.data(), text.size(), out, room, UseVectors());
}
#endif

std::string Repaired(std::string_view text, std::size_t* undecodable) {
    std::size_t invalid = FirstInvalid(text);
    if (invalid == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    std::size_t count = 0;
    std::size_t pos = 0;
    while (invalid != std::string_view::npos) {
        out.append(text.substr(pos, invalid - pos));
        out.append("\xEF\xBF\xBD");
        ++count;
        pos = invalid + 1;
        const std::size_t next = FirstInvalid(text.substr(pos));
        invalid = next == std::string_view::npos ? next : pos + next;
    }
    out.append(text.substr(pos));
    if (undecodable != nullptr) *undecodable += count;
    return out;
}

}  // namespace utf8

}  // namespace tamberlo
