// The put-file scan, at every vector level the processor runs, must declare
// exactly the numbers that a plain walk over the upper-cased text finds, in
// ascending order. (The unit tests tie both to 9999 substring searches; here
// they would cost more than the scan itself.)
#include "NaiveForms.h"
#include "engine/PutFileScan.h"
#include "host/ProcessorFeatures.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string program(reinterpret_cast<const char*>(data), size);
    const std::vector<int> expected = tamberlo::test::naive::NumbersAfterEachMention(program);
    for (int level = 0; level <= static_cast<int>(tamberlo::SupportedVectorLevel()); ++level) {
        const tamberlo::VectorLevelCap cap(static_cast<tamberlo::VectorLevel>(level));
        if (tamberlo::FindPutFileNumbers(program) != expected) std::abort();
    }
    return 0;
}
