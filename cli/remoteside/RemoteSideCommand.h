#pragma once

namespace tamberlo::cli {

// `tamberlo remote-side --protocol N`: the remote host's end of a remote
// run, started by the other host's `tamberlo --remote` through ssh. It
// writes the greeting (remote/wire/Greeting.h), refuses a protocol it does
// not speak with an ERROR frame, reads the request (RemoteRequest.h), runs
// the program as a single run does (RemoteRun.h), streaming the log when
// asked, and sends the answer (RemoteAnswer.h). A request it cannot carry
// out gets an ERROR frame that says why. Should the other side go (its
// connection ends, STOP, the parent ends, the output is closed), SAS is
// stopped as Ctrl-C stops a local run and the run's folders are removed.
// Returns the exit status: 0 answered, 3 refused or failed (an answer whose
// STATUS is not empty included; 4 for the time limit), 64 options
// that a single run would refuse, 74 a sent file the system could not
// write, 130 the other side gone. Windows: an ERROR frame saying that it
// is not supported there yet.
int RunRemoteSideCommand(int protocol);

}  // namespace tamberlo::cli
