#pragma once

#include "host/SessionEncoding.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// A put file of a run: a file on this machine while the session that ran
// the program lives.
struct SasPutFile {
    std::string key;   // "_PUT1"
    std::string path;  // the host's narrow path
};

// What a SAS session gave back for one program, as SAS wrote it, before
// anything is judged: the texts are the session's and stay valid while it
// lives, until its next run. ProgramOutcome::Judge is what makes of it a
// verdict, whichever way the program ran.
struct SasOutput {
    std::string status;           // the run's status: "OK" when it went through; empty when it failed
    std::string_view log;         // as SAS wrote it
    std::string_view lst;         // as SAS wrote it
    std::string_view console;     // what SAS wrote on its console (POSIX), as written
    std::optional<int> exitCode;  // none when SAS did not end by itself
    // The lines written to the log's program ahead of the program's own, so
    // that a line number in the log can be told as one of the program's.
    long preambleLines = 0;
    // Set where the preamble is not known (a run on another host): the
    // program's own leading lines of the preamble's forms, and the
    // preamble is found in the log (LogFindings::FindPreamble).
    std::optional<long> programLeading;
    std::vector<SasPutFile> putFiles;  // in the order they were made
    // Of the log, the listing and the put files.
    SessionEncoding encoding = SessionEncoding::PlatformDefault();
};

}  // namespace tamberlo::cli
