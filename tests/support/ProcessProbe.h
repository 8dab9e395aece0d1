#pragma once

// What a process holds of the system, as seen from inside it: the figures
// that must come back to where they were after a run, whatever went wrong.

#include <cstddef>
#include <vector>

namespace tamberlo::reliability {

// Open descriptors (POSIX, /proc/self/fd) or handles (Windows) of this
// process. Throws std::runtime_error when the system gives no count, so that
// a test comparing counts fails instead of comparing 0 with 0.
std::size_t OpenHandleCount();

// Resident memory of this process in bytes (POSIX: resident set; Windows:
// working set).
std::size_t ResidentBytes();

// The process ids of this process's children that still exist: on POSIX
// ended but unreaped ones (zombies) included, on Windows those still running
// (an ended one holds nothing once its handles are closed, which the handle
// count shows). On POSIX the programs that the process guard started for
// this process count as its children, the guard itself does not.
std::vector<unsigned long> ChildProcesses();

// The same for another process of this user, by its id: the caller keeps the
// process (or, on POSIX, its zombie) so that the id cannot go to another.
std::vector<unsigned long> ChildProcessesOf(unsigned long pid);

#ifndef _WIN32
// This process's guard, then the reapers below it: the running processes
// (zombies left out) named tamberlo-guard.
std::vector<unsigned long> GuardProcesses();
// The same for another process of this user.
std::vector<unsigned long> GuardProcessesOf(unsigned long pid);

// The running processes (zombies left out) of the session `sid`: whatever a
// session leader started, its grandchildren and their own groups included.
std::vector<unsigned long> ProcessesInSession(unsigned long sid);
#endif

// Kills every child process at once, without waiting for it. Returns how many
// it asked to end.
std::size_t KillChildProcesses();

}  // namespace tamberlo::reliability
