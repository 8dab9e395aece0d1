#include "cli/base/LinkTarget.h"

#include <system_error>

namespace tamberlo::cli {

std::filesystem::path FileBehindLinks(std::filesystem::path path) {
    namespace fs = std::filesystem;
    constexpr int linksFollowed = 40;  // as Linux's ELOOP
    for (int links = 0; links < linksFollowed; ++links) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec))) return path;
        const fs::path next = fs::read_symlink(path, ec);
        if (ec) return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

}  // namespace tamberlo::cli
