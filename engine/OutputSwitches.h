#pragma once

namespace tamberlo {

// The two output switches. They exist once per thread: every object on a
// thread sees the same pair, objects on other threads never do. Creating an
// Output turns both on.
struct OutputSwitches {
    bool cleanOutput = true;
    bool safeFormChar = true;

    static OutputSwitches& ForThisThread() noexcept;
};

}  // namespace tamberlo
