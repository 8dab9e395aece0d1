#include "cli/reports/Md5.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace tamberlo::cli {
namespace {

constexpr std::array<std::uint32_t, 64> shifts{7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                               5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                               4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                               6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// K[i] = floor(2^32 * |sin(i + 1)|), exactly representable in a double.
const std::array<std::uint32_t, 64>& Constants() {
    static const std::array<std::uint32_t, 64> constants = [] {
        std::array<std::uint32_t, 64> k{};
        for (std::size_t i = 0; i < k.size(); ++i)
            k[i] = static_cast<std::uint32_t>(std::floor(4294967296.0 * std::fabs(std::sin(double(i + 1)))));
        return k;
    }();
    return constants;
}

std::uint32_t RotateLeft(std::uint32_t value, std::uint32_t count) {
    return (value << count) | (value >> (32 - count));
}

void Block(std::array<std::uint32_t, 4>& state, const unsigned char* block) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = std::uint32_t(block[i * 4]) | std::uint32_t(block[i * 4 + 1]) << 8 |
               std::uint32_t(block[i * 4 + 2]) << 16 | std::uint32_t(block[i * 4 + 3]) << 24;
    }
    auto [a, b, c, d] = state;
    for (std::uint32_t i = 0; i < 64; ++i) {
        std::uint32_t f = 0, g = 0;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const std::uint32_t next = d;
        d = c;
        c = b;
        b += RotateLeft(a + f + Constants()[i] + m[g], shifts[i]);
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

std::string Md5Hex(std::string_view bytes) {
    std::array<std::uint32_t, 4> state{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    std::string message(bytes);
    const std::uint64_t bits = std::uint64_t(bytes.size()) * 8;
    message += '\x80';
    while (message.size() % 64 != 56) message += '\0';
    for (int i = 0; i < 8; ++i) message += static_cast<char>((bits >> (8 * i)) & 0xff);
    for (std::size_t offset = 0; offset < message.size(); offset += 64)
        Block(state, reinterpret_cast<const unsigned char*>(message.data() + offset));
    constexpr char hex[] = "0123456789abcdef";
    std::string digest;
    for (const std::uint32_t word : state) {
        for (int i = 0; i < 4; ++i) {
            const auto byte = static_cast<unsigned>((word >> (8 * i)) & 0xff);
            digest += hex[byte >> 4];
            digest += hex[byte & 15];
        }
    }
    return digest;
}

}  // namespace tamberlo::cli
