#pragma once

#include "cli/single/SingleRun.h"
#include "remote/wire/FrameWriter.h"

namespace tamberlo::cli {

// Sends what a remote run got back, in the order this side reads it: LOG,
// LISTING (both as SAS wrote them: this side cleans them as its options
// say and judges the log itself), a PUTFILE per put file, CONSOLE,
// EXITCODE (empty when SAS did not end), ENCODING, STATUS, END. STATUS is
// empty when the run was made and SAS's status was OK; else what a single
// run shows after "tamberlo: ": "<source>: <description>" of the error
// that stopped the run (then LOG and LISTING hold what SAS had written),
// or the status Execute returned. `result` must come from a run of raw
// texts with its put files listed (RemoteRun). Throws WireError when the
// connection fails.
void SendAnswer(remote::FrameWriter& writer, const SingleRunResult& result);

// The STATUS text of `result`.
std::string AnswerStatus(const SingleRunResult& result);

}  // namespace tamberlo::cli
