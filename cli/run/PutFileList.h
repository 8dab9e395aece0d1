#pragma once

#include <string>
#include <vector>

namespace tamberlo {
class CodeRunner;
}

namespace tamberlo::cli {

struct PutFileEntry {
    std::string key;    // "_PUT1"
    std::string path;   // the temporary file; it goes when the CodeRunner goes
    std::string text;   // cleaned when the runner's CleanOutput switch is on
    std::string bytes;  // the file as SAS wrote it, whatever the switch says

    bool operator==(const PutFileEntry&) const = default;
};

// The put files of the runner's runs, in the order they were made (ascending
// numbers within a run). Each is read here, once; a put file that cannot be
// read throws its Error. The runner's CleanOutput switch is as it was
// afterwards.
std::vector<PutFileEntry> ListPutFiles(CodeRunner& runner);

}  // namespace tamberlo::cli
