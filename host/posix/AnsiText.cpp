#include "host/AnsiText.h"

#include "host/SessionEncoding.h"

#include <cstddef>

namespace tamberlo::ansi {

std::string ToUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        if (std::size_t length = utf8::SequenceLength(text, pos); length > 0) {
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
