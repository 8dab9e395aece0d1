#pragma once

#include <string>

namespace tamberlo::cli {

// A folder of the command's own in the temporary folder, for files that only
// the reports need, removed with everything in it when the object goes;
// readable by its owner only. Its name carries the process id: the folders
// of commands that were killed are removed when the next one starts.
class ScratchFolder {
public:
    // `prefix` starts the folder's name ("tmpBatch."). Throws
    // std::runtime_error when no folder can be made.
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

}  // namespace tamberlo::cli
