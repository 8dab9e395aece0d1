#pragma once

#include "host/Error.h"

#include <windows.h>

#include <exception>

namespace tamberlo::com {

// A failed platform call inside the automation layer, carrying its status
// code. ResultFromCaughtException returns that code unchanged.
class ComFailure : public std::exception {
public:
    explicit ComFailure(HRESULT hr) noexcept : hr_(hr) {}
    HRESULT Result() const noexcept { return hr_; }
    const char* what() const noexcept override { return "COM call failed"; }

private:
    HRESULT hr_;
};

// Throws ComFailure for a failed status code.
inline void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr)) throw ComFailure(hr);
}

// Throws ComFailure with HRESULT_FROM_WIN32(code) for a failed Win32 call.
[[noreturn]] void ThrowWin32(DWORD code);

// The status code of a failed automation call for an Error: 0x800A0000 plus
// the number for numbers from 1 to 65535, the number itself when it already
// is a failure status (negative), E_FAIL otherwise.
HRESULT ResultFromError(const Error& error) noexcept;

// To be called only inside a catch block: maps the exception being handled
// to a status code and sets the thread's error information to match.
//   Error         -> ResultFromError, with its source and description as
//                    the error information (interface _CodeRunner)
//   ComFailure    -> its status code
//   std::bad_alloc -> E_OUTOFMEMORY
//   anything else -> E_FAIL
// Every case but Error clears the error information, so that a client never
// reads one left from an earlier call. Never throws.
HRESULT ResultFromCaughtException() noexcept;

// Runs f() and returns S_OK, or the mapped status code of whatever it threw:
// the sealed boundary of every exported function and interface method.
template <class F>
HRESULT Sealed(F&& f) noexcept {
    try {
        f();
        return S_OK;
    } catch (...) {
        return ResultFromCaughtException();
    }
}

}  // namespace tamberlo::com
