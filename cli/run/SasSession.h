#pragma once

#include "cli/run/SasOutput.h"
#include "cli/run/SasProgram.h"

namespace tamberlo {
class StopSignal;
}

namespace tamberlo::cli {

class LogFollower;

// One way of running a program, set up from the session options that both
// forms of the command take: SAS on this machine (LocalSasSession), or
// another that hands the program over and gets the texts back. What it
// gives back is judged (ProgramOutcome::Judge) and recorded the same way
// whichever it is.
class SasSession {
public:
    virtual ~SasSession() = default;

    // Runs `program` once, within the options' time limit; SAS stops once
    // `stop` is requested. `follower`, when given, is shown the log while
    // SAS writes it. Throws the Error the run ends with: TimeLimitReached,
    // RunStopped, UnpassableSetting (SAS not started) or another.
    virtual void Execute(const SasProgram& program, const StopSignal& stop, LogFollower* follower) = 0;

    // What SAS gave back for the last program; after Execute threw, what it
    // had written by then (a stopped run's partial log and listing).
    virtual SasOutput Output() const = 0;
};

}  // namespace tamberlo::cli
