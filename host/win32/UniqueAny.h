#pragma once

#include <utility>

namespace tamberlo::win32 {

// The owner of one Win32 or COM resource (a handle, a key, a BSTR, an
// interface reference, a VARIANT), with the same verbs for all of them.
// `Traits` says what is held and how it is freed:
//
//   using Type = ...;                          // the value held
//   static Type Empty() noexcept;              // the value that holds nothing
//   static bool IsEmpty(const Type&) noexcept;
//   static void Close(Type&) noexcept;         // frees a value that is not empty
//
// Owners whose empty values differ (null or INVALID_HANDLE_VALUE) have
// different traits and so are different types. Move-only: moving hands the
// resource over and leaves the source empty.
template <class Traits>
class UniqueAny {
public:
    using Type = typename Traits::Type;

    UniqueAny() noexcept = default;
    // Takes over a resource the caller holds.
    explicit UniqueAny(Type owned) noexcept : value_(owned) {}
    UniqueAny(UniqueAny&& other) noexcept : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    const Type& get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return !Traits::IsEmpty(value_); }

    // Frees what is held, then holds `owned`.
    void reset(Type owned = Traits::Empty()) noexcept {
        Type old = std::exchange(value_, owned);
        if (!Traits::IsEmpty(old)) Traits::Close(old);
    }
    // Hands the resource to the caller, unfreed; this one is empty afterwards.
    [[nodiscard]] Type release() noexcept { return std::exchange(value_, Traits::Empty()); }
    // Frees what is held and hands out the slot, for a function that returns
    // a new resource through a pointer.
    Type* put() noexcept {
        reset();
        return &value_;
    }

private:
    Type value_ = Traits::Empty();
};

// Traits for a resource held as a pointer or a handle that null leaves empty;
// the owner's traits add `Close`.
template <class T>
struct NullIsEmpty {
    using Type = T;
    static T Empty() noexcept { return nullptr; }
    static bool IsEmpty(T value) noexcept { return value == nullptr; }
};

}  // namespace tamberlo::win32
