#include "cli/batch/BatchRunner.h"

#include "cli/batch/BatchProgress.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace tamberlo::cli {

std::vector<ProgramOutcome> BatchRunner::Run(const std::vector<BatchProgram>& programs, BatchProgress& progress) const {
    constexpr auto showEvery = std::chrono::milliseconds(200);
    std::vector<std::optional<ProgramOutcome>> outcomes(programs.size());
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
                outcomes[index] = std::move(outcome);
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
                if (outcomes[index]) progress.Ended(*outcomes[index]);
            }
            progress.Show(runningNow);
            if (finished) break;
            lock.lock();
        }
    }

    // Laid out once: a vector grown by doubling would hold the outcomes of a
    // large batch up to three times over while it moves them.
    std::vector<ProgramOutcome> finished;
    finished.reserve(static_cast<std::size_t>(
        std::count_if(outcomes.begin(), outcomes.end(), [](const auto& outcome) { return outcome.has_value(); })));
    for (std::optional<ProgramOutcome>& outcome : outcomes) {
        if (outcome) finished.push_back(std::move(*outcome));
    }
    return finished;
}

}  // namespace tamberlo::cli
