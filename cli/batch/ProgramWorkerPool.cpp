#include "cli/batch/ProgramWorkerPool.h"

#include "cli/batch/BatchProgress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace tamberlo::cli {

std::vector<ProgramOutcome> ProgramWorkerPool::Run(const std::vector<BatchProgram>& programs,
                                                   BatchProgress& progress) const {
    constexpr auto showEvery = std::chrono::milliseconds(200);
    // Laid out once, and the unfinished taken out in place at the end: a
    // second vector would hold a large batch's outcomes twice for a moment.
    std::vector<ProgramOutcome> outcomes(programs.size());
    std::vector<char> done(programs.size(), 0);  // finished, not stopped
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::size_t> ended;  // not yet shown
    std::size_t running = 0;
    std::size_t workersLeft = std::min<std::size_t>(jobs_, programs.size());

    const auto work = [&] {
        for (;;) {
            if (stopRequested_ && stopRequested_()) break;
            const std::size_t index = next++;
            if (index >= programs.size()) break;
            {
                std::lock_guard lock(mutex);
                ++running;
            }
            std::optional<ProgramOutcome> outcome = run_(programs[index]);
            {
                std::lock_guard lock(mutex);
                --running;
                if (outcome) {
                    outcomes[index] = std::move(*outcome);
                    done[index] = 1;
                }
                ended.push_back(index);
            }
            changed.notify_one();
        }
        {
            std::lock_guard lock(mutex);
            --workersLeft;
        }
        changed.notify_one();
    };

    {
        std::vector<std::jthread> workers;
        try {
            for (std::size_t i = 0, count = workersLeft; i < count; ++i) workers.emplace_back(work);
        } catch (...) {
            // No thread more: stop handing out programs; the workers that
            // started are joined on the way out.
            next = programs.size();
            throw;
        }

        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait_for(lock, showEvery, [&] { return !ended.empty() || workersLeft == 0; });
            const std::vector<std::size_t> toShow = std::exchange(ended, {});
            const std::size_t runningNow = running;
            const bool finished = workersLeft == 0;
            lock.unlock();
            // Outcomes are not touched by the workers once they are listed.
            for (const std::size_t index : toShow) {
                if (done[index]) progress.Ended(outcomes[index]);
            }
            progress.Show(runningNow);
            if (finished) break;
            lock.lock();
        }
    }

    std::size_t kept = 0;
    for (std::size_t index = 0; index < outcomes.size(); ++index) {
        if (!done[index]) continue;
        if (kept != index) outcomes[kept] = std::move(outcomes[index]);
        ++kept;
    }
    outcomes.erase(outcomes.begin() + static_cast<std::ptrdiff_t>(kept), outcomes.end());
    return outcomes;
}

}  // namespace tamberlo::cli
