#pragma once

// Paths of the build tree as a test program of this platform hands them on.
// Header only, so that tests of programs that do not link the core can use it.

#include <filesystem>
#include <string>

namespace tamberlo::test {

// A path as a program of this platform reads it: under Wine a Unix path works
// from drive Z: only, so "/a/b" becomes "Z:\a\b"; natively it stays.
inline std::string HostPath(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path.front() == '/') {
        for (char& c : path) {
            if (c == '/') c = '\\';
        }
        path = "Z:" + path;
    }
#endif
    return path;
}

// A SAS root as Execute takes it: the folder, ending in the separator.
inline std::string RootFolder(const std::string& folder) {
    return folder + static_cast<char>(std::filesystem::path::preferred_separator);
}

}  // namespace tamberlo::test
