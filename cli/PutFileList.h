#pragma once

#include <string>
#include <vector>

namespace tamberlo {
class CodeRunner;
}

namespace tamberlo::cli {

struct PutFileEntry {
    std::string key;   // "_PUT1"
    std::string path;  // the temporary file; it goes when the CodeRunner goes
    std::string text;  // cleaned when the runner's CleanOutput switch is on

    bool operator==(const PutFileEntry&) const = default;
};

// The put files of the runner's runs, in the order they were made (ascending
// numbers within a run). Their texts are read here; a put file that cannot
// be read throws its Error.
std::vector<PutFileEntry> ListPutFiles(const CodeRunner& runner);

}  // namespace tamberlo::cli
