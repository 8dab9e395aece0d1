#pragma once

#include "automation/CodeRunner.h"
#include "cli/run/SessionOptions.h"
#include "cli/run/SasSession.h"

#include <string>

namespace tamberlo::cli {

// SAS on this machine through one CodeRunner, set up from the session
// options: the one place either form of the command makes a runner. The
// run's put files are temporary files that go with the session.
class LocalSasSession final : public SasSession {
public:
    // `options` must outlive the session.
    explicit LocalSasSession(const SessionOptions& options);

    // Gives the runner `program` without running it: what a report of a
    // fresh object shows. Execute loads the program itself.
    void Load(const SasProgram& program);

    void Execute(const SasProgram& program, const StopSignal& stop, LogFollower* follower) override;
    SasOutput Output() const override;

    // The runner's state as one plain-text report in UTF-8 (--report).
    std::string DebugInfo() const { return runner_.DebugInfo(); }

private:
    const SessionOptions& options_;
    CodeRunner runner_;
};

}  // namespace tamberlo::cli
