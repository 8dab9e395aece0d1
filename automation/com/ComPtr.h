#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace tamberlo::com {

// Owns one reference to a COM interface: released on destruction, never
// copied without AddRef. Null means empty.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(T* owned) noexcept : p_(owned) {}
    ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void reset() noexcept {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Hands the reference to the caller.
    [[nodiscard]] T* release() noexcept { return std::exchange(p_, nullptr); }
    // For functions that return a new reference through T**: releases what
    // was held first.
    T** put() noexcept {
        reset();
        return &p_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // QueryInterface for U; empty when the object does not support it.
    template <class U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> result;
        if (p_) p_->QueryInterface(__uuidof(U), result.put_void());
        return result;
    }

private:
    T* p_ = nullptr;
};

}  // namespace tamberlo::com
