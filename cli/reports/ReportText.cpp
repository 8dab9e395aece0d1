#include "cli/reports/ReportText.h"

#include "cli/base/CommandText.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <filesystem>

namespace tamberlo::cli::report_text {
namespace {

constexpr std::string_view replacement = "\xEF\xBF\xBD";

// The code point at `pos` and its length in bytes; 0xFFFD for one byte that
// starts no valid UTF-8 sequence (overlong forms and values beyond U+10FFFF
// included).
std::pair<char32_t, std::size_t> Decode(std::string_view text, std::size_t pos) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || pos + length > text.size()) return {0xFFFD, 0};
    char32_t cp = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) return {0xFFFD, 0};
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[length] || cp > 0x10FFFF) return {0xFFFD, 0};
    return {cp, length};
}

bool IsSurrogate(char32_t cp) noexcept { return cp >= 0xD800 && cp <= 0xDFFF; }

}  // namespace

void AppendXml(std::string& out, std::string_view utf8, bool attribute) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto [cp, length] = Decode(utf8, pos);
        if (length == 0 || IsSurrogate(cp) || cp == 0xFFFE || cp == 0xFFFF) {
            out += replacement;
            pos += length == 0 ? 1 : length;
            continue;
        }
        switch (cp) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t':
        case '\n':
        case '\r':
            if (attribute) {
                out.append("&#").append(std::to_string(static_cast<int>(cp))).append(";");
            } else {
                out += static_cast<char>(cp);
            }
            break;
        default:
            if (cp < 0x20) {
                out.append("%").append(std::to_string(static_cast<int>(cp)));
            } else {
                out.append(utf8.substr(pos, length));
            }
        }
        pos += length;
    }
}

std::string Xml(std::string_view utf8, bool attribute) {
    std::string out;
    AppendXml(out, utf8, attribute);
    return out;
}

void AppendJson(std::string& out, std::string_view utf8) {
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto [cp, length] = Decode(utf8, pos);
        if (length == 0 || IsSurrogate(cp)) {
            out += replacement;
            pos += length == 0 ? 1 : length;
            continue;
        }
        // Escapes are appended a character at a time: GCC 12 warns falsely
        // about overlapping copies when short literals are appended here.
        const auto escaped = [&out](char c) {
            out.push_back('\\');
            out.push_back(c);
        };
        switch (cp) {
        case '"': escaped('"'); break;
        case '\\': escaped('\\'); break;
        case '\n': escaped('n'); break;
        case '\r': escaped('r'); break;
        case '\t': escaped('t'); break;
        default:
            if (cp < 0x20) {
                constexpr char hex[] = "0123456789abcdef";
                escaped('u');
                out.append("00");
                out.push_back(hex[cp >> 4]);
                out.push_back(hex[cp & 0xF]);
            } else {
                out.append(utf8.substr(pos, length));
            }
        }
        pos += length;
    }
}

namespace {

// ForEachPiece, with `take` able to stop the reading by returning false.
void ReadPieces(const std::string& path, const SessionEncoding& encoding, bool clean,
                const std::function<bool(std::string_view utf8)>& take, std::optional<std::uint64_t> bytes) {
    const auto decoded = [&](const std::string& bytes) {
        return encoding.ToUtf8(clean ? CleanEveryControlChar(bytes) : bytes);
    };
    constexpr std::size_t pieceSize = 1 << 16;
    std::ifstream in(commandtext::ToPath(path), std::ios::binary);
    if (!in) {
        take(commandtext::ToUtf8("(" + path + " could not be read)"));
        return;
    }
    std::string buffer;
    std::string carry;
    std::uint64_t left = bytes.value_or(UINT64_MAX);
    for (;;) {
        buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, left)));
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.resize(static_cast<std::size_t>(in.gcount()));
        left -= buffer.size();
        if (buffer.empty()) break;
        buffer.insert(0, carry);
        carry.clear();
        // Up to the last line break; in a piece without one, up to its last
        // whole character, and before a CR that may start a CR LF.
        std::size_t cut = buffer.find_last_of('\n');
        if (cut != std::string::npos) {
            ++cut;
        } else {
            cut = encoding.WholeCharacters(buffer);
            if (cut > 1 && buffer[cut - 1] == '\r') --cut;
        }
        if (in && left > 0 && cut > 0) {
            carry.assign(buffer, cut, std::string::npos);
            buffer.resize(cut);
        }
        if (!take(decoded(buffer))) return;
    }
    if (!carry.empty()) take(decoded(carry));
}

// Where a text of `room` bytes at most ends within `piece`: after its last
// line break there; else, when what went before ended a line, at its
// start; else (in a line too long to end in time) after its last whole
// character there.
std::size_t ShownEnd(std::string_view piece, std::size_t room, bool afterLine) {
    const std::size_t lastBreak = piece.substr(0, room).find_last_of('\n');
    if (lastBreak != std::string_view::npos) return lastBreak + 1;
    if (afterLine) return 0;
    std::size_t end = room;
    while (end > 0 && (static_cast<unsigned char>(piece[end]) & 0xC0) == 0x80) --end;
    return end;
}

}  // namespace

void ForEachPiece(const std::string& path, const SessionEncoding& encoding, bool clean,
                  const std::function<void(std::string_view utf8)>& take, std::optional<std::uint64_t> bytes) {
    ReadPieces(
        path, encoding, clean,
        [&take](std::string_view piece) {
            take(piece);
            return true;
        },
        bytes);
}

bool ForEachShownPiece(const std::string& path, const SessionEncoding& encoding, bool clean,
                       const std::function<void(std::string_view utf8)>& take, std::optional<std::uint64_t> bytes) {
    std::size_t shown = 0;
    bool afterLine = false;  // what was handed on ends a line
    bool cut = false;
    ReadPieces(
        path, encoding, clean,
        [&](std::string_view piece) {
            if (shown + piece.size() <= ShownBytes) {
                shown += piece.size();
                if (!piece.empty()) afterLine = piece.back() == '\n';
                take(piece);
                return true;
            }
            const std::size_t end = ShownEnd(piece, ShownBytes - shown, afterLine);
            if (end > 0) take(piece.substr(0, end));
            cut = true;
            return false;
        },
        bytes);
    return cut;
}

}  // namespace tamberlo::cli::report_text
