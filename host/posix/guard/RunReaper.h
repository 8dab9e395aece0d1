#pragma once

namespace tamberlo::guard {

// One run, in a process of its own forked by the guard: a child subreaper,
// so that every process the program starts stays below it whatever group
// or session it moves to, and whatever ends on the way comes back to it.
// It reads the program from the run channel, starts it, reports on the
// channel and obeys its commands. When the channel closes before the run
// was reaped (the process that started the run has died) or the guard goes,
// it stops the run itself: SIGTERM to every process of it, the grace period,
// SIGKILL to what is left. Returns the process's exit status.
//
// `descriptors` are those of a StartRun request: channel, standard input,
// output and error, current folder; `guard` is the forking guard's id.
int RunReaper(const int (&descriptors)[5], int guard);

}  // namespace tamberlo::guard
