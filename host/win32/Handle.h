#pragma once

#include <windows.h>

namespace tamberlo::win32 {

// Owns a kernel handle. `Invalid` is the value that means "no handle": null
// for most kernel objects, INVALID_HANDLE_VALUE for files.
template <HANDLE (*Invalid)()>
class BasicHandle {
public:
    BasicHandle() noexcept = default;
    explicit BasicHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~BasicHandle() { Close(); }
    BasicHandle(BasicHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = Invalid(); }
    BasicHandle(const BasicHandle&) = delete;
    BasicHandle& operator=(const BasicHandle&) = delete;
    BasicHandle& operator=(BasicHandle&&) = delete;

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != Invalid(); }
    // Gives the handle up without closing it.
    HANDLE Release() noexcept {
        const HANDLE handle = handle_;
        handle_ = Invalid();
        return handle;
    }
    // Closes now; false when CloseHandle failed.
    bool Close() noexcept {
        if (handle_ == Invalid()) return true;
        const BOOL closed = ::CloseHandle(handle_);
        handle_ = Invalid();
        return closed != FALSE;
    }

private:
    HANDLE handle_ = Invalid();
};

inline HANDLE NullHandleValue() noexcept { return nullptr; }
inline HANDLE InvalidHandleValue() noexcept { return INVALID_HANDLE_VALUE; }

using Handle = BasicHandle<NullHandleValue>;
using FileHandle = BasicHandle<InvalidHandleValue>;

}  // namespace tamberlo::win32
