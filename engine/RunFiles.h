#pragma once

#include "host/RunFolder.h"
#include "host/TempFileNames.h"

#include <string>

namespace tamberlo {

// The program, log and listing files of one run, in the run's folder, and
// where SAS's console output goes when it is captured. The log, listing and
// console are named only (SAS or the runner makes them); the program file is
// created by CreateProgram, under a new name if its first one is taken. They
// are deleted, in that order, on every way out of the run, the program file
// only once this run has made it; a failed deletion is ignored. The folder
// itself goes after them (POSIX; on Windows it is the temporary folder).
class RunFiles {
public:
    explicit RunFiles(const RunFolder& folder) : RunFiles(folder, TempFileNamer(folder.Path())) {}
    RunFiles(const RunFolder& folder, const TempFileNamer& names);
    ~RunFiles();
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    // Creates the program file and makes the log and listing private
    // (POSIX) before SAS writes them. Throws "could not be written" with the
    // file system's reason in the form of the file service's error state.
    void CreateProgram(const std::string& text);

private:
    const RunFolder& folder_;
    const TempFileNamer names_;

public:
    std::string program;
    const std::string log;
    const std::string listing;
    const std::string console;  // empty: not captured

private:
    bool programCreated_ = false;
};

}  // namespace tamberlo
