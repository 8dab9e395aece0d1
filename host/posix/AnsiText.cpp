#include "host/AnsiText.h"

#include <cstddef>

namespace tamberlo::ansi {

namespace {

// The length of the valid UTF-8 sequence at `pos`, or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned codePoint = 0;
    if (lead < 0x80) return 1;
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

}  // namespace

std::string ToUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (std::size_t length = Utf8SequenceLength(text, pos); length > 0) {
            result.append(text.substr(pos, length));
            pos += length;
        } else {
            const auto latin1 = static_cast<unsigned char>(text[pos++]);
            result.push_back(static_cast<char>(0xC0 | (latin1 >> 6)));
            result.push_back(static_cast<char>(0x80 | (latin1 & 0x3F)));
        }
    }
    return result;
}

}  // namespace tamberlo::ansi
