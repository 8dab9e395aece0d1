#pragma once

#include <algorithm>
#include <chrono>
#include <optional>

namespace tamberlo {

// When a runner waiting for a program must wake on its own: at the time
// limit, and at every tick of the caller's callbacks. Everything else (the
// program ending, a stop request) wakes the wait through the system.
class WaitSchedule {
public:
    using Clock = std::chrono::steady_clock;
    using Milliseconds = std::chrono::milliseconds;

    WaitSchedule(std::optional<Milliseconds> timeLimit, bool ticking, Milliseconds tickInterval)
        : deadline_(timeLimit ? After(Clock::now(), *timeLimit) : Clock::time_point::max()),
          tickInterval_(std::max(tickInterval, Milliseconds(1))),
          nextTick_(ticking ? After(Clock::now(), tickInterval_) : Clock::time_point::max()) {}

    bool TimeIsUp() const { return Clock::now() >= deadline_; }
    bool TickIsDue() const { return Clock::now() >= nextTick_; }
    // The callbacks keep their pace however long they took.
    void TickDone() { nextTick_ = After(Clock::now(), tickInterval_); }

    // Milliseconds from now to the next wake, rounded up so that a wait
    // never ends just short of it; none when nothing is due ever.
    std::optional<Milliseconds> TimeToNextWake() const {
        const Clock::time_point now = Clock::now();
        const Clock::time_point wake = std::min(deadline_, nextTick_);
        if (wake == Clock::time_point::max()) return std::nullopt;
        if (wake <= now) return Milliseconds(0);
        return std::min(std::chrono::ceil<Milliseconds>(wake - now), MaximumWait);
    }

private:
    // Longer waits simply wake once more: every platform takes this much.
    static constexpr Milliseconds MaximumWait{24 * 60 * 60 * 1000};

    // `from` + `span`, held at the clock's end instead of overflowing.
    static Clock::time_point After(Clock::time_point from, Milliseconds span) {
        if (span <= Milliseconds(0)) return from;
        if (span >= std::chrono::duration_cast<Milliseconds>(Clock::time_point::max() - from))
            return Clock::time_point::max();
        return from + span;
    }

    const Clock::time_point deadline_;
    const Milliseconds tickInterval_;
    Clock::time_point nextTick_;
};

}  // namespace tamberlo
