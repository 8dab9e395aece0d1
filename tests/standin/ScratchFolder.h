#pragma once

#include <string>

namespace tamberlo::standin::test {

// A new, empty folder in the system temporary directory for one test,
// removed with everything in it when the owner goes.
class ScratchFolder {
public:
#ifdef _WIN32
    static constexpr char Separator = '\\';
#else
    static constexpr char Separator = '/';
#endif

    explicit ScratchFolder(const std::string& label);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's path with the platform's separators, no trailing one.
    const std::string& Path() const { return path_; }
    // `name` inside the folder.
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

}  // namespace tamberlo::standin::test
