#pragma once

#include "automation/com/UniqueVariant.h"

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace tamberlo::test {

// One call through IDispatch::Invoke as a script host makes it (Windows
// only), and what came back. The arguments are given in the caller's order:
// DISPPARAMS holds positional ones last to first, named ones in the order of
// their names. The call takes over its arguments (made by the builders of
// Variants.h) and clears them, like its result and exception information,
// when it ends.
class DispatchCall {
public:
    explicit DispatchCall(std::initializer_list<VARIANT> arguments = {}, std::initializer_list<DISPID> names = {});
    ~DispatchCall();
    DispatchCall(const DispatchCall&) = delete;
    DispatchCall& operator=(const DispatchCall&) = delete;

    // Invokes member `id` with `flags`, with room for a result, exception
    // information and the argument at fault; returns the status, kept in hr.
    HRESULT On(IDispatch* dispatch, DISPID id, WORD flags);
    // The arguments, for an Invoke made by hand; valid while the call lives.
    DISPPARAMS* Params() noexcept { return &params_; }

    // The result's text; "<not text>" when the result is not VT_BSTR.
    std::wstring ResultText() const;

    HRESULT hr = E_UNEXPECTED;
    com::UniqueVariant result;
    EXCEPINFO exception{};
    UINT argumentError = 0xFFFF;  // no argument at fault

private:
    std::vector<VARIANT> arguments_;  // in the order DISPPARAMS holds them
    std::vector<DISPID> names_;
    DISPPARAMS params_{};
};

}  // namespace tamberlo::test
