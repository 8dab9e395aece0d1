#include "cli/base/OutputDevice.h"

#include "cli/base/CommandText.h"
#include "cli/base/UsageError.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace tamberlo::cli {

std::FILE* OpenIfDeviceOrPipe(const std::string& name, const std::string& option) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(commandtext::ToPath(name), ec);
    if (!fs::exists(status) || fs::is_regular_file(status) || fs::is_directory(status)) return nullptr;
    const auto refuse = [&](const std::string& reason) {
        return UsageError(option + " " + name + ": cannot write: " + reason);
    };
    std::FILE* stream = nullptr;
    try {
        // Through the name as given: the system follows its links, those
        // that lead to no name (/proc/self/fd/1 of a pipe) too.
        stream = filesystem::OpenExistingForWriting(commandtext::ToPath(name));
    } catch (const Error& error) {
        throw refuse(commandtext::FromHost(error.Description()));
    }
    if (stream == nullptr) throw refuse(fs::is_fifo(status) ? "nothing reads the pipe" : "no device answers to it");
    return stream;
}

}  // namespace tamberlo::cli
