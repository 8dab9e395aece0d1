#pragma once

#include "cli/run/SasOutput.h"

#include <string>
#include <vector>

namespace tamberlo::cli {

struct PutFileEntry {
    std::string key;    // "_PUT1"
    std::string path;   // the temporary file; it goes when the session goes
    std::string text;   // cleaned when asked for
    std::string bytes;  // the file as SAS wrote it

    bool operator==(const PutFileEntry&) const = default;
};

// The put files of a run, in the order they were made, each read here once
// while its session lives; `clean`: text as the command shows it (every
// control character as its code). A put file that cannot be read throws
// its Error.
std::vector<PutFileEntry> ListPutFiles(const std::vector<SasPutFile>& files, bool clean);

}  // namespace tamberlo::cli
