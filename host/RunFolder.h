#pragma once

#include <string>

namespace tamberlo {

// Where the files of one run live. POSIX: a folder of the run's own in the
// temporary directory, <dir>tmpSAS_<token>_<stamp>_<digits>/, made mode 0700
// (never through an existing name), so that no other user can read what SAS
// writes there while it writes it; it goes, with all that is in it, when the
// object does, and on Linux the process guard removes it should this process
// die first (the token names this process's folders apart from any other's).
// Windows: the temporary directory itself, where the run's files keep their
// names; nothing is made or removed.
class RunFolder {
public:
    // Throws the file system's error (75 when name after name is taken).
    RunFolder();
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    // Ends in the path separator.
    const std::string& Path() const noexcept { return path_; }

    // POSIX: makes the empty file `path` in this folder, readable by its
    // owner only and never through an existing name, for SAS to write into
    // whatever its umask. Throws the file system's error. Windows: nothing;
    // SAS makes its files as it always has.
    void MakePrivateFile(const std::string& path) const;

private:
    std::string path_;
};

}  // namespace tamberlo
