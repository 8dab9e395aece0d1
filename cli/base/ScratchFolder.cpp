#include "cli/base/ScratchFolder.h"

#include "cli/base/CommandText.h"
#include "cli/base/OwnedTempName.h"
#include "host/TempFileNames.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tamberlo::cli {

ScratchFolder::ScratchFolder(const std::string& prefix) {
    const std::string temporary = commandtext::FromHost(GetTempDirectory());
    const OwnedTempName names(prefix, "");
    names.RemoveLeftovers(commandtext::ToPath(temporary));
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::string name = temporary + names.New();
        std::error_code ec;
        if (std::filesystem::create_directory(commandtext::ToPath(name), ec)) {
            path_ = name;
            std::filesystem::permissions(commandtext::ToPath(name), std::filesystem::perms::owner_all, ec);
        }
    }
    if (path_.empty()) throw std::runtime_error("cannot create a folder in " + temporary);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(commandtext::ToPath(path_), ec);
}

}  // namespace tamberlo::cli
