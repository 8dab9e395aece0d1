#include "ScratchFolder.h"

#include <filesystem>
#include <random>
#include <system_error>

namespace tamberlo::standin::test {

ScratchFolder::ScratchFolder(const std::string& label) {
    std::random_device random;
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("standin-" + label + "-" + std::to_string(random()));
    std::filesystem::create_directories(path);
    path_ = path.string();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::operator/(const std::string& name) const { return path_ + Separator + name; }

}  // namespace tamberlo::standin::test
