#pragma once

namespace tamberlo::cli::console {

// The stop requests that interrupts make, kept once for both platforms'
// handlers. Both requests are made once and never destroyed: an interrupt
// may arrive while the process ends.

// Makes both requests; called before a handler is installed.
void PrepareInterruptRequests();
// What a handler does on each interrupt: the first requests a stop, one
// that finds it requested already also requests the second. Safe in a
// signal handler.
void NoteInterruptRequest() noexcept;

}  // namespace tamberlo::cli::console
