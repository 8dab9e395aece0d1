#pragma once

#include <cstdio>
#include <string>

namespace tamberlo::cli {

// An output named on the command line that is there and is neither a file
// nor a folder (a device such as /dev/null, a named pipe, a terminal) holds
// no file to cut short or replace: it is opened as it is, through links, and
// written straight into (a socket cannot be opened so). Returns none for any other name (a file, a new
// name), which the caller writes as a file. A pipe that no process reads is
// refused rather than waited on, and any other failure too, as UsageError
// "<option> <name>: cannot write: <reason>". The caller closes the stream.
std::FILE* OpenIfDeviceOrPipe(const std::string& name, const std::string& option);

}  // namespace tamberlo::cli
