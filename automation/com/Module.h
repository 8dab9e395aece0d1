#pragma once

#include <windows.h>

#include <string>

namespace tamberlo::com {

// Process-wide state of the in-process server: its module handle, and the
// counts of live objects and class-factory locks behind DllCanUnloadNow.
// Everything here is safe to call from any thread.
class Module {
public:
    // Called once by the entry point on process attach.
    static void SetInstance(HINSTANCE instance) noexcept;
    static HINSTANCE Instance() noexcept;

    // The module's full path as the loader knows it. Throws ComFailure when
    // the system cannot tell, std::bad_alloc when memory runs out.
    static std::wstring Path();

    static void ObjectCreated() noexcept;
    static void ObjectDestroyed() noexcept;
    static void Lock() noexcept;
    static void Unlock() noexcept;
    // True when no object is alive and no lock is held.
    static bool CanUnload() noexcept;
};

}  // namespace tamberlo::com
