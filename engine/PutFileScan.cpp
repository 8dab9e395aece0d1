#include "engine/PutFileScan.h"

#include <bitset>
#include <cstring>
#include <memory>

namespace tamberlo {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "PUT" in any letter case.
bool IsPutWord(const char* p) {
    return (p[0] | 0x20) == 'p' && (p[1] | 0x20) == 'u' && (p[2] | 0x20) == 't';
}

}  // namespace

std::vector<int> FindPutFileNumbers(std::string_view program) {
    constexpr int Limit = 10000;
    auto found = std::make_unique<std::bitset<Limit>>();

    const char* const end = program.data() + program.size();
    const char* p = program.data();
    // Every "_PUT" followed by a digit 1-9 gives the numbers of its first one
    // to four digits; the substring search of each number finds no more.
    while (p + 5 <= end) {
        const char* underscore = static_cast<const char*>(std::memchr(p, '_', static_cast<std::size_t>(end - p - 4)));
        if (!underscore) break;
        p = underscore + 1;
        if (!IsPutWord(p) || underscore[4] < '1' || underscore[4] > '9') continue;
        int number = 0;
        for (const char* digit = underscore + 4; digit < end && digit < underscore + 8 && IsDigit(*digit); ++digit) {
            number = number * 10 + (*digit - '0');
            found->set(static_cast<std::size_t>(number));
        }
    }

    std::vector<int> numbers;
    for (int n = 1; n < Limit; ++n) {
        if (found->test(static_cast<std::size_t>(n))) numbers.push_back(n);
    }
    return numbers;
}

}  // namespace tamberlo
