#pragma once

#include <sys/types.h>

#include <vector>

namespace tamberlo::guard {

// Every process below `ancestor` (children, their children, ...), whatever
// process group or session each moved to, read from Linux's process table.
// A process that forks while this runs may add one that is not listed: the
// callers look again until nothing is left.
std::vector<pid_t> Descendants(pid_t ancestor);

// Sends `signal` to every process below this one. False when there was none.
bool SignalDescendants(int signal);

}  // namespace tamberlo::guard
