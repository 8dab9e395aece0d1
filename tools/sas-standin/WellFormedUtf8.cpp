#include "WellFormedUtf8.h"

#include <algorithm>

namespace tamberlo::standin {

namespace {

struct ByteRange {
    unsigned char low;
    unsigned char high;
};

// One row of the table: the range of the first byte, and the ranges of the
// bytes that must follow it (an empty range ends the row).
struct Row {
    ByteRange first;
    ByteRange next[3];
};

constexpr ByteRange None{1, 0};
constexpr ByteRange Tail{0x80, 0xBF};

constexpr Row Table[] = {
    {{0x00, 0x7F}, {None, None, None}},          // U+0000..U+007F
    {{0xC2, 0xDF}, {Tail, None, None}},          // U+0080..U+07FF
    {{0xE0, 0xE0}, {{0xA0, 0xBF}, Tail, None}},  // U+0800..U+0FFF
    {{0xE1, 0xEC}, {Tail, Tail, None}},          // U+1000..U+CFFF
    {{0xED, 0xED}, {{0x80, 0x9F}, Tail, None}},  // U+D000..U+D7FF
    {{0xEE, 0xEF}, {Tail, Tail, None}},          // U+E000..U+FFFF
    {{0xF0, 0xF0}, {{0x90, 0xBF}, Tail, Tail}},  // U+10000..U+3FFFF
    {{0xF1, 0xF3}, {Tail, Tail, Tail}},          // U+40000..U+FFFFF
    {{0xF4, 0xF4}, {{0x80, 0x8F}, Tail, Tail}},  // U+100000..U+10FFFF
};

bool In(ByteRange range, unsigned char byte) { return byte >= range.low && byte <= range.high; }

}  // namespace

std::size_t WellFormedUtf8::SequenceAt(std::string_view text, std::size_t pos) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    for (const Row& row : Table) {
        if (!In(row.first, byteAt(pos))) continue;
        std::size_t length = 1;
        for (const ByteRange& next : row.next) {
            if (next.low > next.high) break;
            if (pos + length >= text.size() || !In(next, byteAt(pos + length))) return 0;
            ++length;
        }
        return length;
    }
    return 0;  // a byte no row starts with: 80..C1, F5..FF
}

std::size_t WellFormedUtf8::FirstIllFormed(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = SequenceAt(text, pos);
        if (length == 0) return pos;
        pos += length;
    }
    return text.size();
}

std::vector<int> WellFormedUtf8::RecordsNotUtf8(std::string_view program) {
    std::vector<int> records;
    int record = 1;
    std::size_t pos = 0;
    while (pos < program.size()) {
        const std::size_t end = std::min(program.find('\n', pos), program.size());
        const std::string_view line = program.substr(pos, end - pos);
        if (FirstIllFormed(line) != line.size()) records.push_back(record);
        ++record;
        pos = end + 1;
    }
    return records;
}

}  // namespace tamberlo::standin
