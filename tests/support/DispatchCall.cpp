#include "DispatchCall.h"

#include <algorithm>

namespace tamberlo::test {

DispatchCall::DispatchCall(std::initializer_list<VARIANT> arguments, std::initializer_list<DISPID> names)
    : arguments_(arguments), names_(names) {
    if (names_.empty()) std::reverse(arguments_.begin(), arguments_.end());
    params_.rgvarg = arguments_.empty() ? nullptr : arguments_.data();
    params_.cArgs = static_cast<UINT>(arguments_.size());
    params_.rgdispidNamedArgs = names_.empty() ? nullptr : names_.data();
    params_.cNamedArgs = static_cast<UINT>(names_.size());
}

DispatchCall::~DispatchCall() {
    for (VARIANT& v : arguments_) VariantClear(&v);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

HRESULT DispatchCall::On(IDispatch* dispatch, DISPID id, WORD flags) {
    hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params_, result.put(), &exception, &argumentError);
    return hr;
}

std::wstring DispatchCall::ResultText() const {
    const VARIANT& value = result.get();
    if (V_VT(&value) != VT_BSTR) return L"<not text>";
    return V_BSTR(&value) ? std::wstring(V_BSTR(&value), SysStringLen(V_BSTR(&value))) : std::wstring();
}

}  // namespace tamberlo::test
