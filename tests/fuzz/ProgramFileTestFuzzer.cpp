// The test that decides whether a value given as program code names a file:
// no CR LF pair anywhere and ".SAS" as its last four characters in any case.
#include "automation/CodeRunner.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    bool expected = value.find("\r\n") == std::string::npos && value.size() >= 4;
    if (expected) {
        std::string last = value.substr(value.size() - 4);
        for (char& c : last) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        expected = last == ".SAS";
    }
    if (tamberlo::NamesProgramFile(value) != expected) std::abort();
    return 0;
}
