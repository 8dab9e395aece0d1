#pragma once

#include <filesystem>

namespace tamberlo::cli {

// What `path` names once its symbolic links are followed, link after link
// (as many as the system itself follows): the path itself when it is no
// link, the name a dangling link leads to (the file to make there), and a
// link still when they loop. Only the last part of the path is followed;
// the folders on the way stay as named.
std::filesystem::path FileBehindLinks(std::filesystem::path path);

}  // namespace tamberlo::cli
