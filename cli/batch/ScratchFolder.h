#pragma once

#include <string>

namespace tamberlo::cli {

// A folder of the command's own in the temporary folder, for the logs and
// listings that only the reports need, removed with everything in it at the
// end; readable by its owner only. Its name carries the process id: the
// folders of commands that were killed are removed when the next one starts.
class ScratchFolder {
public:
    // Throws std::runtime_error when no folder can be made.
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

}  // namespace tamberlo::cli
