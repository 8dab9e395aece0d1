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

void ProgramWorkerPool::Run(const BatchProgramList& programs, BatchProgress& progress,
                            const FinishedProgram& finished) const {
    constexpr auto showEvery = std::chrono::milliseconds(200);
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    // Ended and not yet handed on: a stopped program's outcome is none.
    std::vector<std::pair<std::size_t, std::optional<ProgramOutcome>>> ended;
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
                ended.emplace_back(index, std::move(outcome));
            }
            changed.notify_one();
        }
        {
            std::lock_guard lock(mutex);
            --workersLeft;
        }
        changed.notify_one();
    };

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
        auto toHand = std::exchange(ended, {});
        const std::size_t runningNow = running;
        const bool allEnded = workersLeft == 0;
        lock.unlock();
        try {
            for (auto& [index, outcome] : toHand) {
                if (!outcome) continue;
                progress.Ended(*outcome);
                finished(index, std::move(*outcome));
            }
        } catch (...) {
            // Nothing more starts; the running programs end on the way out.
            next = programs.size();
            throw;
        }
        progress.Show(runningNow);
        if (allEnded) break;
        lock.lock();
    }
}

}  // namespace tamberlo::cli
