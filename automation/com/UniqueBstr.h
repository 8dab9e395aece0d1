#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace tamberlo::com {

// Owns one BSTR, freed with SysFreeString. Null is the empty string, as
// everywhere in automation.
class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(BSTR owned) noexcept : s_(owned) {}
    UniqueBstr(UniqueBstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.s_, nullptr));
        return *this;
    }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { reset(); }

    BSTR get() const noexcept { return s_; }
    UINT length() const noexcept { return SysStringLen(s_); }
    void reset(BSTR owned = nullptr) noexcept {
        if (BSTR old = std::exchange(s_, owned)) SysFreeString(old);
    }
    [[nodiscard]] BSTR release() noexcept { return std::exchange(s_, nullptr); }
    BSTR* put() noexcept {
        reset();
        return &s_;
    }

private:
    BSTR s_ = nullptr;
};

}  // namespace tamberlo::com
