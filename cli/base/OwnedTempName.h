#pragma once

#include <filesystem>
#include <string>

namespace tamberlo::cli {

// Names of temporary files and folders that carry the process that made
// them, "<prefix><process id>@<host>.<digits><suffix>", so that a later
// batch can remove what a batch that was killed left behind.
class OwnedTempName {
public:
    // `prefix` and `suffix` are parts of a file name (command text).
    OwnedTempName(std::string prefix, std::string suffix);

    // A name of this process, with digits drawn afresh.
    std::string New() const;

    // Removes in `folder` every file or folder of this form whose process,
    // on this machine, no longer runs. What cannot be removed stays.
    void RemoveLeftovers(const std::filesystem::path& folder) const;

private:
    bool IsLeftover(const std::string& name) const;

    std::string prefix_;
    std::string suffix_;
    std::string host_;
};

}  // namespace tamberlo::cli
