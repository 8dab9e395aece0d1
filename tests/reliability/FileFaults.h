#pragma once

// Fault injection for the host's file calls, POSIX only: this test program
// defines open(), write() and close() itself, so the core's calls come here
// first and go on to the kernel unchanged unless a FileFault is armed.

#include <string>

namespace tamberlo::reliability {

class FileFault {
public:
    enum class Action {
        VanishBeforeOpen,  // the file is deleted just before the open
        FailOpen,          // the open fails with `error`
        FailWrites,        // the open succeeds; every write to it fails with `error`
    };

    // Applies to every open() whose path contains `pathPart`, from its
    // `fromOpen`-th such open on (1: the first). One fault at a time.
    FileFault(std::string pathPart, Action action, int error = 0, int fromOpen = 1);
    ~FileFault();
    FileFault(const FileFault&) = delete;
    FileFault& operator=(const FileFault&) = delete;

    // How many opens matched `pathPart` so far, the spared ones included.
    int MatchingOpens() const;
};

}  // namespace tamberlo::reliability
