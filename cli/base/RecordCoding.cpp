#include "cli/base/RecordCoding.h"

#include <stdexcept>

namespace tamberlo::cli::record_coding {

void AppendNumber(std::string& out, std::uint64_t value) {
    for (int byte = 0; byte < 8; ++byte) out.push_back(static_cast<char>(value >> (8 * byte) & 0xFF));
}

void AppendText(std::string& out, std::string_view text) {
    AppendNumber(out, text.size());
    out.append(text);
}

std::uint64_t Reader::Number() {
    const std::string_view bytes = Take(8);
    std::uint64_t value = 0;
    for (int byte = 7; byte >= 0; --byte) value = value << 8 | static_cast<unsigned char>(bytes[byte]);
    return value;
}

std::string Reader::Text() {
    const std::uint64_t size = Number();
    return std::string(Take(size));
}

std::string_view Reader::Take(std::uint64_t size) {
    if (size > rest_.size()) throw std::runtime_error("the bytes kept on disk are cut short");
    const std::string_view taken = rest_.substr(0, static_cast<std::size_t>(size));
    rest_.remove_prefix(static_cast<std::size_t>(size));
    return taken;
}

}  // namespace tamberlo::cli::record_coding
