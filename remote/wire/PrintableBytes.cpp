#include "remote/wire/PrintableBytes.h"

namespace tamberlo::remote {

std::string PrintableBytes(std::string_view bytes, std::size_t limit) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string shown;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte == '\\') {
            shown += "\\\\";
        } else if (byte >= 0x20 && byte < 0x7F) {
            shown += static_cast<char>(byte);
        } else {
            shown += "\\x";
            shown += Hex[byte >> 4];
            shown += Hex[byte & 0xF];
        }
    }
    if (bytes.size() > limit) shown += "...";
    return shown;
}

}  // namespace tamberlo::remote
