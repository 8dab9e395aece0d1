#include "automation/com/ComError.h"

#include "automation/com/AnsiText.h"
#include "automation/com/ComPtr.h"
#include "automation/com/UniqueBstr.h"
#include "Tamberlo_h.h"

#include <oleauto.h>

#include <new>

namespace tamberlo::com {

namespace {

// Hands source and description to the platform's error information. When
// that is impossible (no memory), the failed call still carries its status.
void SetErrorInformation(const Error& error) noexcept {
    try {
        ComPtr<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(create.put()))) return;
        UniqueBstr source = ToBstr(error.Source());
        UniqueBstr description = ToBstr(error.Description());
        create->SetGUID(IID__CodeRunner);
        create->SetSource(source.get());
        create->SetDescription(description.get());
        if (auto info = create.query<IErrorInfo>()) SetErrorInfo(0, info.get());
    } catch (...) {
        SetErrorInfo(0, nullptr);
    }
}

}  // namespace

void ThrowWin32(DWORD code) { throw ComFailure(code == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(code)); }

HRESULT ResultFromError(const Error& error) noexcept {
    const long number = error.Number();
    if (number > 0 && number < 0x10000) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number);
    if (number < 0) return static_cast<HRESULT>(number);
    return E_FAIL;
}

HRESULT ResultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const Error& error) {
        SetErrorInformation(error);
        return ResultFromError(error);
    } catch (const ComFailure& failure) {
        SetErrorInfo(0, nullptr);
        return failure.Result();
    } catch (const std::bad_alloc&) {
        SetErrorInfo(0, nullptr);
        return E_OUTOFMEMORY;
    } catch (...) {
        SetErrorInfo(0, nullptr);
        return E_FAIL;
    }
}

}  // namespace tamberlo::com
