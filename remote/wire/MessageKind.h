#pragma once

// The kinds of frame a remote run's two ends exchange, and their names on
// the wire. The order each end expects them in is its own business (the
// remote side's session, the local side's client); the reader only knows
// which names are kinds at all.
//
// This side to the remote side:
//   OPTION   one argument of the run's session options, as a single run's
//            command line gives it;
//   FILE     a file sent with the run (Payloads.h: SentFile);
//   PROGRAM  the program's text, LF line ends;
//   RUN      empty: the request is whole, run it;
//   STOP     empty: this side is going, stop the run.
// The remote side to this side:
//   LOGPART  a piece of the log while SAS runs (only when following);
//   LOG, LISTING, CONSOLE  the log, the listing, SAS's console text;
//   PUTFILE  one put file (Payloads.h: PutFile);
//   EXITCODE SAS's exit code in decimal, empty when it was not collected;
//   ENCODING the session encoding's name;
//   STATUS   empty when the run was made, else the single run's error text;
//   END      empty: the answer is whole;
//   ERROR    the remote side cannot go on; the text says why.

#include <optional>
#include <string_view>

namespace tamberlo::remote {

enum class MessageKind {
    Option,
    File,
    Program,
    Run,
    Stop,
    LogPart,
    Log,
    Listing,
    PutFile,
    Console,
    ExitCode,
    Encoding,
    Status,
    End,
    Error,
};

// The kind's name on the wire ("LOGPART").
std::string_view KindName(MessageKind kind);

// The kind a name on the wire stands for; nullopt for a name that is none.
std::optional<MessageKind> KindFromName(std::string_view name);

}  // namespace tamberlo::remote
