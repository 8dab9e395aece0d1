// The one-pass put-file scan must declare exactly the numbers that 9999
// substring searches over the upper-cased text find, in the same order.
#include "engine/PutFileScan.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reference costs 9999 searches per input: keep inputs short.
    if (size > 512) return -1;
    const std::string program(reinterpret_cast<const char*>(data), size);
    std::string upper = program;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) {
        return c < 128 ? static_cast<char>(std::toupper(c)) : static_cast<char>(c);
    });
    std::vector<int> expected;
    for (int n = 1; n <= 9999; ++n)
        if (upper.find("_PUT" + std::to_string(n)) != std::string::npos) expected.push_back(n);
    if (tamberlo::FindPutFileNumbers(program) != expected) std::abort();
    return 0;
}
