#include "JunitSchema.h"

#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace tamberlo::test {

std::string ValidateJUnit(const std::string& report) {
#ifdef _WIN32
    (void)report;
    return "";
#else
    const std::string messages = report + ".xmllint";
    const std::string command =
        "xmllint --noout --schema '" + std::string(TAMBERLO_JUNIT_SCHEMA) + "' '" + report + "' 2> '" + messages + "'";
    const int status = std::system(command.c_str());
    std::string text = ReadFile(messages);
    std::filesystem::remove(messages);
    return status == 0 ? "" : text.empty() ? "xmllint failed" : text;
#endif
}

}  // namespace tamberlo::test
