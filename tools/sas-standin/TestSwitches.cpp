#include "TestSwitches.h"

#include <cerrno>
#include <cstdlib>

namespace tamberlo::standin {

namespace {

const char* Value(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

bool On(const char* name) {
    const char* value = Value(name);
    return value != nullptr && std::string(value) != "0";
}

}  // namespace

TestSwitches TestSwitches::FromEnvironment() {
    TestSwitches switches;
    if (const char* record = Value("TAMBERLO_STANDIN_RECORD")) switches.record = record;
    if (const char* sleep = Value("TAMBERLO_STANDIN_SLEEP")) {
        char* end = nullptr;
        const double seconds = std::strtod(sleep, &end);
        if (end != sleep && *end == '\0' && seconds > 0.0) switches.sleepSeconds = seconds;
    }
    if (const char* code = Value("TAMBERLO_STANDIN_EXIT")) {
        char* end = nullptr;
        errno = 0;
        const long number = std::strtol(code, &end, 10);
        if (end != code && *end == '\0' && errno == 0) switches.exitCode = static_cast<int>(number);
    }
    if (const char* text = Value("TAMBERLO_STANDIN_LOG")) switches.logText = text;
    if (const char* text = Value("TAMBERLO_STANDIN_LIST")) switches.listText = text;
    switches.noLog = On("TAMBERLO_STANDIN_NO_LOG");
    switches.noList = On("TAMBERLO_STANDIN_NO_LIST");
    switches.crash = On("TAMBERLO_STANDIN_CRASH");
    return switches;
}

}  // namespace tamberlo::standin
