#pragma once

#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tamberlo::guard {

// The guard proper (main.cpp starts it): a child subreaper that serves one
// process (the library's) over its control socket (wire/ControlMessages.h).
// It forks reapers (RunReaper.h) on request, each kept for run after run,
// and keeps free ones the library parks. When the served process has gone,
// every run is stopped by its reaper and then the run folders it left are
// removed. A reaper killed on its own leaves its run to this subreaper:
// the processes of that run alone are killed, every other reaper's run
// goes on.
class Guard {
public:
    // `folderPrefix` names the served process's run folders;
    // `signals` reads SIGCHLD and SIGTERM (SignalWatch.h).
    Guard(pid_t served, std::string folderPrefix, int signals);

    // Serves until the served process has gone; returns the exit status.
    int Serve();

private:
    void TakeSignals();
    void SweepStrays(int status);
    void TakeRequest(bool hungUp);
    void HandReaper(int link);
    void ForkReaper(int link);

    const pid_t served_;
    const std::string folderPrefix_;
    const int signals_;
    bool servedGone_ = false;
    bool clean_ = false;
    std::set<pid_t> reapers_;
    std::vector<int> parked_;  // the library's ends of free reapers' links
    std::set<std::string> temporaryFolders_;
};

}  // namespace tamberlo::guard
