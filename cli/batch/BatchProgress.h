#pragma once

#include "cli/run/OutcomeSequence.h"
#include "cli/run/ProgramOutcome.h"

#include <chrono>
#include <cstdio>
#include <vector>

namespace tamberlo::cli {

// What a person sees of a batch. On a terminal: one status line, redrawn in
// place (done, running, failed, elapsed), replaced at the end by a table with
// a row per program. Elsewhere: a plain line per program as it ends. Both end
// with the first ERROR line (or the Tamberlo error) of each program that did
// not go through, and a summary line.
class BatchProgress {
public:
    BatchProgress(std::FILE* out, bool terminal, std::size_t programs);

    void Ended(const ProgramOutcome& outcome);
    // Redraws the status line on a terminal; does nothing elsewhere.
    void Show(std::size_t running);
    // The table (terminal only), the problems and the summary; `outcomes`
    // are those that finished, in list order, gone through once or twice.
    void Finish(const OutcomeSequence& outcomes, bool interrupted);

    double ElapsedSeconds() const;
    // The system's reason (errno) of the first write to `out` that failed,
    // as the table of a full disk; 0 while none did.
    int WriteError() const noexcept { return writeError_; }

private:
    std::FILE* out_;
    bool terminal_;
    std::size_t programs_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    int statusLength_ = 0;  // of the status line on the terminal
    std::chrono::steady_clock::time_point started_;
    int writeError_ = 0;

    // Flushes `out`, noting the first failure.
    void Flush() noexcept;
};

}  // namespace tamberlo::cli
