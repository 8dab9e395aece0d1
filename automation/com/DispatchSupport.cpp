#include "automation/com/DispatchSupport.h"

#include "automation/com/ComPtr.h"

#include <cstring>

namespace tamberlo::com {

namespace {

void SetZeroValue(VARIANT& value, VARTYPE type) noexcept {
    VariantInit(&value);
    V_VT(&value) = type;
    switch (type) {
    case VT_BSTR: V_BSTR(&value) = nullptr; break;
    case VT_BOOL: V_BOOL(&value) = VARIANT_FALSE; break;
    case VT_I2: V_I2(&value) = 0; break;
    default: V_VT(&value) = VT_EMPTY; break;
    }
}

bool IsOmitted(const VARIANT* value) noexcept {
    return value == nullptr || (V_VT(value) == VT_ERROR && V_ERROR(value) == DISP_E_PARAMNOTFOUND);
}

// True when a by-reference argument, or the VARIANT it refers to, points
// nowhere. The platform's copy and conversion follow such a pointer without
// looking, so it must be refused before them.
bool RefersNowhere(const VARIANT* value) noexcept {
    for (int depth = 0; depth < 2 && (V_VT(value) & VT_BYREF) != 0; ++depth) {
        if (V_BYREF(value) == nullptr) return true;
        if (V_VT(value) != (VT_BYREF | VT_VARIANT)) return false;
        value = V_VARIANTREF(value);
    }
    return false;
}

}  // namespace

const DispatchMember* FindDispatchMember(std::span<const DispatchMember> members, DISPID id, WORD flags) noexcept {
    const WORD wanted = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
                            ? static_cast<WORD>(flags & DISPATCH_PROPERTYPUT)
                            : static_cast<WORD>(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET));
    for (const DispatchMember& member : members) {
        // A property get also answers a call made as a method, which is how
        // JScript reads a property with arguments: obj.PutFile(1).
        const WORD answers = member.kind == DISPATCH_PROPERTYGET
                                 ? static_cast<WORD>(DISPATCH_PROPERTYGET | DISPATCH_METHOD)
                                 : member.kind;
        if (member.id == id && (answers & wanted) != 0) return &member;
    }
    return nullptr;
}

HRESULT CollectDispatchArguments(const DispatchMember& member, const DISPPARAMS& params, LCID lcid,
                                 DispatchArguments& arguments, UINT* argumentError) noexcept {
    if (params.cNamedArgs > params.cArgs) return E_INVALIDARG;
    if ((params.cArgs > 0 && params.rgvarg == nullptr) ||
        (params.cNamedArgs > 0 && params.rgdispidNamedArgs == nullptr))
        return E_INVALIDARG;
    if (params.cArgs > member.parameterCount) return DISP_E_BADPARAMCOUNT;

    // Where each parameter's value sits in rgvarg.
    std::array<const VARIANT*, 2> source{};
    std::array<UINT, 2> sourceIndex{};
    const UINT positional = params.cArgs - params.cNamedArgs;
    for (UINT i = 0; i < positional; ++i) {
        sourceIndex[i] = params.cArgs - 1 - i;
        source[i] = &params.rgvarg[sourceIndex[i]];
    }
    for (UINT j = 0; j < params.cNamedArgs; ++j) {
        const DISPID name = params.rgdispidNamedArgs[j];
        // A property put's value is its last (here its only) parameter.
        const bool isPutValue = member.kind == DISPATCH_PROPERTYPUT && name == DISPID_PROPERTYPUT;
        const bool isParameter =
            member.kind != DISPATCH_PROPERTYPUT && name >= 0 && static_cast<UINT>(name) < member.parameterCount;
        const UINT position = isPutValue ? member.parameterCount - 1 : static_cast<UINT>(name);
        if ((!isPutValue && !isParameter) || source[position] != nullptr) {
            if (argumentError) *argumentError = j;
            return DISP_E_PARAMNOTFOUND;
        }
        source[position] = &params.rgvarg[j];
        sourceIndex[position] = j;
    }

    for (UINT i = 0; i < member.parameterCount; ++i) {
        VARIANT* target = arguments[i].put();
        if (IsOmitted(source[i])) {
            if (i < member.requiredCount) return DISP_E_PARAMNOTOPTIONAL;
            SetZeroValue(*target, member.parameters[i]);
            continue;
        }
        UniqueVariant plain;
        HRESULT hr = RefersNowhere(source[i]) ? DISP_E_TYPEMISMATCH
                                              : VariantCopyInd(plain.put(), const_cast<VARIANT*>(source[i]));
        if (SUCCEEDED(hr))
            hr = VariantChangeTypeEx(target, const_cast<VARIANT*>(&plain.get()), lcid, 0, member.parameters[i]);
        if (FAILED(hr)) {
            arguments[i].reset();
            if (argumentError) *argumentError = sourceIndex[i];
            return hr == DISP_E_OVERFLOW ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
        }
    }
    return S_OK;
}

HRESULT DispatchException(HRESULT failure, EXCEPINFO* exception) noexcept {
    if (exception == nullptr) return failure;
    std::memset(exception, 0, sizeof *exception);
    exception->scode = failure;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info) {
        info->GetSource(&exception->bstrSource);
        info->GetDescription(&exception->bstrDescription);
    }
    return DISP_E_EXCEPTION;
}

}  // namespace tamberlo::com
