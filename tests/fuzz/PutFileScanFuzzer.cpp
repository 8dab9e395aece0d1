// The put-file scan, at every vector level the processor runs, must declare
// exactly the numbers that a plain walk over the upper-cased text finds, in
// ascending order. (The unit tests tie both to 9999 substring searches; here
// they would cost more than the scan itself.)
#include "engine/PutFileScan.h"
#include "host/ProcessorFeatures.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// From each "_PUT" of the text: the numbers its following digits spell, up to
// four digits, when the first is not 0.
std::vector<int> NumbersAfterEachMention(const std::string& upper) {
    std::vector<bool> found(10000);
    for (std::size_t at = 0; (at = upper.find("_PUT", at)) != std::string::npos; ++at) {
        int number = 0;
        for (std::size_t digit = at + 4; digit < upper.size() && digit < at + 8; ++digit) {
            const char c = upper[digit];
            if (c < '0' || c > '9' || (digit == at + 4 && c == '0')) break;
            number = number * 10 + (c - '0');
            found[static_cast<std::size_t>(number)] = true;
        }
    }
    std::vector<int> numbers;
    for (int n = 1; n <= 9999; ++n)
        if (found[static_cast<std::size_t>(n)]) numbers.push_back(n);
    return numbers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string program(reinterpret_cast<const char*>(data), size);
    std::string upper = program;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
        return c < 128 ? static_cast<char>(std::toupper(c)) : static_cast<char>(c);
    });
    const std::vector<int> expected = NumbersAfterEachMention(upper);
    for (int level = 0; level <= static_cast<int>(tamberlo::SupportedVectorLevel()); ++level) {
        const tamberlo::VectorLevelCap cap(static_cast<tamberlo::VectorLevel>(level));
        if (tamberlo::FindPutFileNumbers(program) != expected) std::abort();
    }
    return 0;
}
