#pragma once

#include "host/FileSystem.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tamberlo {

// The texts of configuration files, read once per file and version: every
// run looks for its session encoding in the same few files, and a file is
// read again only when its size or last change differs from the reading
// kept. Safe to use from several threads at once.
class ConfigurationFileCache {
public:
    // The one of this process.
    static ConfigurationFileCache& Shared();

    // As filesystem::ReadRegularFileIfPresent, from the reading kept when
    // the file is still the one read.
    filesystem::RegularFileRead Read(const std::string& path, std::uintmax_t limit);

private:
    struct Reading {
        filesystem::FileStamp stamp;
        std::string text;
    };

    std::mutex lock_;
    std::unordered_map<std::string, Reading> readings_;
};

}  // namespace tamberlo
