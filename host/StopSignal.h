#pragma once

#include <atomic>

namespace tamberlo {

// A request to stop, made once and never taken back, that a waiting thread
// can wait on beside a process: the process runner wakes the moment it is
// made. Request() may be called from anywhere, a POSIX signal handler or a
// Windows console control handler included.
class StopSignal {
public:
#ifdef _WIN32
    using Waitable = void*;  // a manual-reset event: signalled once requested
#else
    using Waitable = int;  // a descriptor: readable once requested
#endif

    // Throws Error (too many files, out of memory) when the system cannot
    // make the waitable object.
    StopSignal();
    ~StopSignal();
    StopSignal(const StopSignal&) = delete;
    StopSignal& operator=(const StopSignal&) = delete;

    // Async-signal-safe; repeating it does no harm.
    void Request() noexcept;
    bool IsRequested() const noexcept { return requested_.load(); }
    // Owned by this object; not inherited by started programs.
    Waitable NativeWaitable() const noexcept;

private:
    static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets it");
    std::atomic<bool> requested_{false};
#ifdef _WIN32
    void* event_;
#else
    int readEnd_;
    int writeEnd_;
#endif
};

}  // namespace tamberlo
