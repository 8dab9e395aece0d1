#pragma once

namespace tamberlo::guard {

// Run after run, in a process of its own forked by the guard: a child
// subreaper, so that every process a program starts stays below it whatever
// group or session it moves to, and whatever ends on the way comes back to
// it. For each run the library sends on `link` (a StartRun request and its
// descriptors: channel, standard input, output and error, current folder)
// it reads the program from the run channel, starts it, reports on the
// channel and obeys its commands. When the channel closes before the run
// was reaped (the process that started the run has died) or the guard goes,
// it stops the run itself: SIGTERM to every process of it, the grace period,
// SIGKILL to what is left.
//
// Kept for the next run, so that a run costs no process start of its own;
// it ends when the link closes, at SIGTERM or when the guard dies. `guard`
// is the forking guard's id; returns the process's exit status.
int ServeRuns(int link, int guard);

}  // namespace tamberlo::guard
