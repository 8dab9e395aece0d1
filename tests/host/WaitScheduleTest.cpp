#include "host/WaitSchedule.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tamberlo;
using ms = std::chrono::milliseconds;
using std::chrono::hours;

// A wait ends at the earlier of the time limit and the next tick, rounded up
// and never past a day; with neither due it has no end.
TEST(WaitSchedule, WakesAtTheEarlierOfTheLimitAndTheTickWithinItsBounds) {
    const std::optional<ms> never;
    struct Case {
        const char* name;
        std::optional<ms> limit;
        bool ticking;
        ms tick;
        std::optional<ms> longest, shortest;
        bool up;
    };
    for (const Case& c : {Case{"nothing due", never, false, ms(1), never, never, false},
                          Case{"beyond the clock's end", ms::max(), false, ms(1), never, never, false},
                          Case{"limit passed", ms(-5), false, ms(1), ms(0), ms(0), true},
                          Case{"limit rounded up", ms(1500), false, ms(1), ms(1500), ms(1000), false},
                          Case{"tick first", hours(1), true, ms(200), ms(200), ms(100), false},
                          Case{"limit first", ms(200), true, hours(1), ms(200), ms(100), false},
                          Case{"tick held at 1 ms", never, true, ms(0), ms(1), ms(0), false},
                          Case{"capped at a day", hours(48), false, ms(1), hours(24), hours(24), false}}) {
        const WaitSchedule schedule(c.limit, c.ticking, c.tick);
        const std::optional<ms> wake = schedule.TimeToNextWake();
        EXPECT_TRUE(wake <= c.longest && wake >= c.shortest) << c.name << ": " << (wake ? wake->count() : -1);
        EXPECT_EQ(schedule.TimeIsUp(), c.up) << c.name;
    }
}

// A late tick does not bring the next one early: the pace counts from the
// end of the last tick's callbacks.
TEST(WaitSchedule, TheNextTickIsAWholeIntervalAfterTheLastOneEnded) {
    WaitSchedule schedule(std::nullopt, true, ms(100));
    std::this_thread::sleep_for(ms(150));
    EXPECT_TRUE(schedule.TickIsDue());
    EXPECT_EQ(schedule.TimeToNextWake(), ms(0));
    schedule.TickDone();
    EXPECT_FALSE(schedule.TickIsDue());
    EXPECT_GT(schedule.TimeToNextWake(), ms(50));  // 50: counted from the missed tick
}
