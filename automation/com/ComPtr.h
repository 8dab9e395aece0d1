#pragma once

#include "host/win32/UniqueAny.h"

#include <windows.h>
#include <ole2.h>

#include <utility>

namespace tamberlo::com {

// References to COM interfaces, given back with Release.
template <class T>
struct ComReferenceTraits : win32::NullIsEmpty<T*> {
    static void Close(T* object) noexcept { object->Release(); }
};

// Owns one reference to a COM interface: the owner of the others, plus what
// a reference may do besides (be copied with AddRef, be asked for another
// interface). Null means empty.
template <class T>
class ComPtr : public win32::UniqueAny<ComReferenceTraits<T>> {
    using Owner = win32::UniqueAny<ComReferenceTraits<T>>;

public:
    ComPtr() noexcept = default;
    // Takes over a reference the caller already holds.
    explicit ComPtr(T* owned) noexcept : Owner(owned) {}
    ComPtr(const ComPtr& other) noexcept : Owner(AddReference(other.get())) {}
    ComPtr(ComPtr&& other) noexcept = default;
    ComPtr& operator=(ComPtr other) noexcept {
        Owner::operator=(std::move(other));
        return *this;
    }

    T* operator->() const noexcept { return this->get(); }

    // put() for functions that return a new reference through void**.
    void** put_void() noexcept { return reinterpret_cast<void**>(this->put()); }

    // QueryInterface for U; empty when the object does not support it.
    template <class U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> result;
        if (*this) this->get()->QueryInterface(__uuidof(U), result.put_void());
        return result;
    }

private:
    static T* AddReference(T* object) noexcept {
        if (object) object->AddRef();
        return object;
    }
};

}  // namespace tamberlo::com
