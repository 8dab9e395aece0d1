#pragma once

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace tamberlo::com {

// Owns one VARIANT, cleared with VariantClear. Starts as VT_EMPTY.
class UniqueVariant {
public:
    UniqueVariant() noexcept { VariantInit(&v_); }
    UniqueVariant(UniqueVariant&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            reset();
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { reset(); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }
    const VARIANT* operator->() const noexcept { return &v_; }

    void reset() noexcept {
        VariantClear(&v_);
        VariantInit(&v_);
    }
    // Clears and returns the VARIANT for a function that fills it.
    VARIANT* put() noexcept {
        reset();
        return &v_;
    }
    // Hands the value to the caller; this one is empty afterwards.
    [[nodiscard]] VARIANT release() noexcept {
        VARIANT out = v_;
        VariantInit(&v_);
        return out;
    }

private:
    VARIANT v_;
};

}  // namespace tamberlo::com
