#include "host/ExecCmd.h"

#include "host/ProcessTree.h"
#include "host/StopSignal.h"
#include "host/WaitSchedule.h"

namespace tamberlo {

namespace {

// The started tree until the run is settled. On a way out that has not seen
// it end (a callback that throws) it is stopped as at a time limit, so that
// it never outlives the call.
class RunningTree {
public:
    RunningTree(ProcessTree& tree, std::chrono::milliseconds gracePeriod, const StopSignal* hurry) noexcept
        : tree_(tree), gracePeriod_(gracePeriod), hurry_(hurry) {}
    ~RunningTree() {
        if (!settled_) Stop();
    }
    RunningTree(const RunningTree&) = delete;
    RunningTree& operator=(const RunningTree&) = delete;

    ExecCmd::Result Ended() noexcept { return Settle(ExecCmd::Outcome::Ended); }

    // Asks the tree to end, gives it the grace period, then kills what is left.
    ExecCmd::Result Stopped(ExecCmd::Outcome outcome) noexcept {
        Stop();
        if (!exit_.notStarted.empty()) return {ExecCmd::Outcome::NotStarted, exit_.notStarted};
        return {outcome, {}, exit_.code};
    }

private:
    void Stop() noexcept {
        tree_.Terminate();
        tree_.WaitUntilAllEnded(gracePeriod_, hurry_);
        exit_ = tree_.Reap();
        settled_ = true;
    }

    ExecCmd::Result Settle(ExecCmd::Outcome outcome) noexcept {
        exit_ = tree_.Reap();
        settled_ = true;
        if (!exit_.notStarted.empty()) return {ExecCmd::Outcome::NotStarted, exit_.notStarted};
        if (!exit_.lost.empty()) return {ExecCmd::Outcome::Lost, exit_.lost};
        return {outcome, {}, exit_.code};
    }

    ProcessTree& tree_;
    const std::chrono::milliseconds gracePeriod_;
    const StopSignal* hurry_;
    ProcessTree::Exit exit_;
    bool settled_ = false;
};

}  // namespace

ExecCmd::Result ExecCmd::Run(const std::string& cmdline, const Options& options) {
    if (options.stop != nullptr && options.stop->IsRequested()) return {Outcome::StoppedBeforeStart, {}};

    ProcessTree tree;
    if (std::string failure = tree.Start(cmdline, options.consoleFile, options.gracePeriod); !failure.empty())
        return {Outcome::NotStarted, std::move(failure)};
    RunningTree running(tree, options.gracePeriod, options.hurry);

    WaitSchedule schedule(options.timeLimit, static_cast<bool>(options.whileWaiting), options.pollInterval);
    for (;;) {
        if (tree.Wait(options.stop, schedule.TimeToNextWake()) == ProcessTree::Wake::Ended) return running.Ended();
        if (options.stop != nullptr && options.stop->IsRequested()) return running.Stopped(Outcome::Stopped);
        if (schedule.TimeIsUp()) return running.Stopped(Outcome::TimedOut);
        if (schedule.TickIsDue()) {
            if (options.whileWaiting) options.whileWaiting();
            schedule.TickDone();
        }
    }
}

}  // namespace tamberlo
