// The test that decides whether a value given as program code names a file:
// no CR LF pair anywhere and ".SAS" as its last four characters in any case.
#include "NaiveForms.h"
#include "automation/CodeRunner.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    if (tamberlo::NamesProgramFile(value) != tamberlo::test::naive::NamesProgramFile(value)) std::abort();
    return 0;
}
