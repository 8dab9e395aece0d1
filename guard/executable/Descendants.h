#pragma once

#include <sys/types.h>

#include <set>
#include <vector>

namespace tamberlo::guard {

// Every process below `ancestor` (children, their children, ...), whatever
// process group or session each moved to, read from Linux's process table.
// A process that forks while this runs may add one that is not listed: the
// callers look again until nothing is left.
std::vector<pid_t> Descendants(pid_t ancestor);

// Every process below `ancestor` but those below (and including) its
// children in `spared`, and leaving out processes that have ended and wait
// to be collected: what a subreaper holds outside the subtrees it keeps.
std::vector<pid_t> DescendantsApart(pid_t ancestor, const std::set<pid_t>& spared);

// Sends `signal` to every process below this one. False when there was none.
bool SignalDescendants(int signal);

}  // namespace tamberlo::guard
