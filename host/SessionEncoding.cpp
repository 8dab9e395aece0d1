#include "host/SessionEncoding.h"

#include <array>
#include <cctype>
#include <cstdio>

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
    if (lead >= 0xC2 && lead <= 0xDF) { length = 2; minimum = 0x80; codePoint = lead & 0x1Fu; }
    else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; minimum = 0x800; codePoint = lead & 0x0Fu; }
    else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; minimum = 0x10000; codePoint = lead & 0x07u; }
    else return 0;
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

std::size_t FirstInvalid(std::string_view text) noexcept {
    for (std::size_t pos = 0; pos < text.size();) {
        // ASCII runs go eight bytes at a time.
        while (pos + 8 <= text.size()) {
            unsigned long long word = 0;
            for (int i = 0; i < 8; ++i) word |= static_cast<unsigned long long>(static_cast<unsigned char>(text[pos + i])) << (8 * i);
            if (word & 0x8080808080808080ull) break;
            pos += 8;
        }
        if (pos >= text.size()) break;
        const std::size_t length = SequenceLength(text, pos);
        if (length == 0) return pos;
        pos += length;
    }
    return std::string_view::npos;
}

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
