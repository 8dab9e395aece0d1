#pragma once

#include <string>
#include <string_view>

// What the command needs of its platform beyond standard C++; one source per
// platform.
namespace tamberlo::cli::console {

// Standard input, output and error pass bytes unchanged from here on: on
// Windows they are switched to binary mode, so that CR LF in a log stays CR
// LF and a lone LF stays LF. Elsewhere nothing needs doing.
void UseBinaryStandardStreams();

// From here on an interrupt (Ctrl-C; SIGINT, SIGTERM or SIGHUP on POSIX)
// no longer ends the process at once: it is only noted, so that a running
// SAS is stopped and the run's temporary files are deleted on the way out.
void CatchInterrupts();
bool InterruptRequested() noexcept;

}  // namespace tamberlo::cli::console
