#pragma once

#include "host/SessionEncoding.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {
class StopSignal;
}

// What the command needs of its platform beyond standard C++; one source per
// platform.
namespace tamberlo::cli::console {

// Standard input, output and error pass bytes unchanged from here on: on
// Windows they are switched to binary mode, so that CR LF in a log stays CR
// LF and a lone LF stays LF. Elsewhere nothing needs doing.
void UseBinaryStandardStreams();

// The command's arguments as command text: on Windows taken from the wide
// command line as UTF-8, so that a name the ANSI code page lacks reaches
// the command whole; elsewhere argv itself.
std::vector<std::string> Arguments(int argc, char** argv);
// The encoding of the program text given as arguments: UTF-8 on Windows (as
// Arguments gives it), the terminal's elsewhere.
SessionEncoding ArgumentEncoding();

// Command text (a message naming files) in the terminal's encoding: on
// Windows from UTF-8, as it is where the terminal lacks a character of it;
// elsewhere the text is in that encoding already.
std::string ForTerminal(const std::string& commandText);

// Opens a file that command text names, as std::fopen does.
std::FILE* OpenFile(const std::string& name, const char* mode);

// From here on an interrupt (Ctrl-C; SIGINT, SIGTERM, SIGHUP or SIGPIPE on
// POSIX, unless ignored when the process started) no longer ends the process at once: it requests Interrupts(), so that
// a running SAS is stopped at once and the run's temporary files are deleted on the way out. Throws Error when the
// system cannot make the request's waitable object.
void CatchInterrupts();
// The stop request that interrupts make; it lives until the process ends.
const StopSignal& Interrupts();
// Requested by a second interrupt after the first: a SAS being stopped gets
// no more time to tidy up. The run's files are still deleted.
const StopSignal& SecondInterrupts();
bool InterruptRequested() noexcept;

// True when `stream` is a terminal (a console window on Windows).
bool IsTerminal(std::FILE* stream) noexcept;

// This machine's name as the network knows it; "localhost" when it has none.
std::string HostName();

// This process's id, and whether a process of that id runs on this machine
// (one that runs but may not be looked at counts as running).
unsigned long ProcessId() noexcept;
bool ProcessRuns(unsigned long id) noexcept;

}  // namespace tamberlo::cli::console
