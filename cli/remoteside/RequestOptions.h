#pragma once

#include "cli/single/SingleRunOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// What the OPTION frames of a remote run's request ask for.
struct RequestOptions {
    // The session options, read by the declarations a single run's command
    // line uses (DeclareSessionOptions), and --follow.
    SingleRunOptions options;
    // --program-file PATH, which only a request takes: the program's own
    // file for _SASPROGRAMFILE and _SASPROGRAMDIR. A relative PATH names a
    // file sent with the run, an absolute one is taken as it is.
    std::optional<std::string> programFile;
};

// Reads the arguments as a single run's command line would (values as
// they are, never through a shell). Throws UsageError for an argument that
// holds a NUL byte, which no command line can, for an option a
// request does not take (a program file, -e, an output of the single run:
// the remote side writes none), a bad value, or rules that cannot go
// together.
RequestOptions ParseRequestOptions(const std::vector<std::string>& arguments);

}  // namespace tamberlo::cli
