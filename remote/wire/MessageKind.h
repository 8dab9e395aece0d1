#pragma once

// The kinds of frame a remote run's two ends exchange, and their names on
// the wire. The order each end expects them in is its own business (the
// remote side's session, the local side's client); the reader only knows
// which names are kinds at all.
//
// This side to the remote side, in this order: OPTION and FILE frames (in
// any order), one PROGRAM, RUN; then, while the program runs, only STOP.
//   OPTION   one argument of the run's session options, as a single run's
//            command line gives it ("--let", "cutoff=30JUN2026"), read by
//            the single run's own declarations; --follow asks for LOGPART
//            frames; --program-file PATH names the program's own file for
//            _SASPROGRAMFILE and _SASPROGRAMDIR (relative: a file sent with
//            the run; absolute: as it is). Nothing else: no program file,
//            -e or output option;
//   FILE     a file sent with the run (Payloads.h: SentFile), written below
//            the run's private folder, which the program knows as
//            &TAMBERLO_SENT (set only when a file was sent);
//   PROGRAM  the program's bytes as SAS is to read them (in the session
//            encoding, as a stored .sas file is), LF line ends;
//   RUN      empty: the request is whole, run it;
//   STOP     empty: this side is going, stop the run (so is the end of the
//            connection).
// The remote side to this side: its greeting first (Greeting.h), then
// LOGPART frames while SAS runs (when following), then LOG, LISTING, a
// PUTFILE per put file, CONSOLE, EXITCODE, ENCODING, STATUS and END:
//   LOGPART  a piece of the log file as SAS writes it;
//   LOG, LISTING, CONSOLE  the log, the listing and SAS's console text as
//            SAS wrote them, never cleaned: this side cleans them as its
//            own options say, and finds the log's lines in them as a local
//            run does;
//   PUTFILE  one put file (Payloads.h: PutFile), its bytes as SAS wrote them;
//   EXITCODE SAS's exit code in decimal, empty when it was not collected;
//   ENCODING the session encoding's name;
//   STATUS   empty when the run was made; else what a single run shows
//            after "tamberlo: ": "<source>: <description>" of the error
//            that stopped the run (LOG and LISTING then hold what SAS had
//            written by then), or the status the run returned;
//   END      empty: the answer is whole;
//   ERROR    the remote side cannot go on (a protocol it does not speak, a
//            request it refuses, options a single run refuses); the text
//            says why, and nothing follows.

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
