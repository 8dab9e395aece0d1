#pragma once

#include "cli/run/SessionOptions.h"
#include "cli/single/ProgramAssembly.h"
#include "remote/wire/Payloads.h"

#include <string>
#include <vector>

namespace tamberlo::cli {

// What this side sends the remote side for one run, made before ssh starts
// so that a file that cannot be sent is a usage error before anything
// happens on the remote.
struct RequestToRemote {
    // The session options as a single run's command line gives them (one
    // OPTION frame each): --sas-root, --config, --encoding, --no-formchar,
    // --timeout, --sysparm, --set, --let, --autoexec, --sas-option,
    // --follow when following, and --program-file for a program that is a
    // .sas file: its sent name when it was sent, else its full local path
    // (a file system both hosts share), for _SASPROGRAMFILE. Always --raw: the texts come back as SAS
    // wrote them, and this side cleans them and judges the log as a local
    // run does. The log rules and report options stay here.
    std::vector<std::string> options;
    // The --send files: every regular file below each folder, named
    // relative to the folder that holds the given file or folder.
    std::vector<remote::SentFile> files;
    // The program, its pieces joined as a local run joins them, with LF line
    // ends: SAS for UNIX would read a CR as data (DATALINES).
    std::string program;

    // Throws UsageError for a --send that holds a link to outside what was
    // sent, a link to a folder, something other than a file or folder, two
    // files of one name or a file over the wire's limit; SystemFailure when
    // one cannot be read for a reason of the system's.
    static RequestToRemote Make(const SessionOptions& options, bool follow,
                                const std::vector<ProgramAssembly::Assignment>& program);

    // The session options alone (see `options`).
    static std::vector<std::string> SessionArguments(const SessionOptions& options, bool follow);
};

}  // namespace tamberlo::cli
