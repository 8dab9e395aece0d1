#pragma once

#include "host/RunFolder.h"
#include "remote/wire/Payloads.h"

#include <string>

namespace tamberlo::cli {

// The folder that a remote run's sent files are written into: a private
// run folder (host/RunFolder.h: mode 0700, named apart, removed with all in
// it when the object goes, and by the process guard should this process
// die first). The program knows it as &TAMBERLO_SENT. POSIX only: on
// Windows the constructor throws RequestRefused.
class SentFolder {
public:
    SentFolder();

    // Writes one file at its relative name, making the folders on the way
    // (mode 0700), the file with its mode's permission bits (setuid,
    // setgid and sticky dropped). Throws RequestRefused for a name that
    // SentFileParts refuses, one sent before, one whose folder is a file
    // sent before, and one that would pass through a link; SystemFailure
    // when the system cannot write it (a full disk), naming the file.
    void Write(const remote::SentFile& file);

    // Without a separator at the end.
    std::string Path() const;

private:
    RunFolder folder_;
};

}  // namespace tamberlo::cli
