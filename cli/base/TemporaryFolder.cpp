#include "cli/base/TemporaryFolder.h"

#include "cli/base/CommandText.h"
#include "cli/base/SystemFailure.h"
#include "host/TempFileNames.h"

#include <filesystem>
#include <system_error>

namespace tamberlo::cli {

void CheckTemporaryFolder() {
    std::string folder;
    try {
        folder = commandtext::FromHost(GetTempDirectory());
    } catch (...) {
        return;  // a folder SAS cannot be given: the run says why
    }
    if (folder.empty()) return;
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(commandtext::ToPath(folder), ec);
    if (std::filesystem::is_directory(status)) return;
    const std::string reason = std::filesystem::exists(status) ? "not a folder" : ec ? ec.message() : "not there";
    throw SystemFailure("the temporary folder " + folder + ": " + reason);
}

}  // namespace tamberlo::cli
