// CleanControlChars, at every vector level the processor runs, must equal
// thirty plain replacements, one per code.
#include "host/ProcessorFeatures.h"
#include "host/modGlobals.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string expected = text;
    for (int code = 1; code <= 31; ++code) {
        if (code == 10 || code == 13) continue;
        const std::string from(1, static_cast<char>(code));
        const std::string to = "%" + std::to_string(code);
        for (std::size_t at = 0; (at = expected.find(from, at)) != std::string::npos; at += to.size())
            expected.replace(at, 1, to);
    }
    for (int level = 0; level <= static_cast<int>(tamberlo::SupportedVectorLevel()); ++level) {
        const tamberlo::VectorLevelCap cap(static_cast<tamberlo::VectorLevel>(level));
        if (tamberlo::CleanControlChars(text) != expected) std::abort();
    }
    return 0;
}
