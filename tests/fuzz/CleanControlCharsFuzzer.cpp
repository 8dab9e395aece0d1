// CleanControlChars, at every vector level the processor runs, must equal
// thirty plain replacements, one per code, also appended into a buffer.
#include "NaiveForms.h"
#include "host/ProcessorFeatures.h"
#include "host/ControlChars.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string expected = tamberlo::test::naive::ThirtyReplacements(text);
    for (int level = 0; level <= static_cast<int>(tamberlo::SupportedVectorLevel()); ++level) {
        const tamberlo::VectorLevelCap cap(static_cast<tamberlo::VectorLevel>(level));
        if (tamberlo::CleanControlChars(text) != expected) std::abort();
        // Appended after what a buffer holds, in the room it has.
        std::string buffer = "kept";
        buffer.reserve(size);
        tamberlo::AppendCleanControlChars(buffer, text);
        if (buffer != "kept" + expected) std::abort();
    }
    return 0;
}
