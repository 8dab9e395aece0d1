#pragma once

#include "automation/com/UniqueVariant.h"

#include <oaidl.h>

#include <array>
#include <span>

namespace tamberlo::com {

// What IDispatch::Invoke needs to know of one member and invoke kind of a
// dual interface, so that a call by member id can be checked, its arguments
// converted and the vtable method called with them.
struct DispatchMember {
    DISPID id;
    WORD kind;                          // DISPATCH_METHOD, _PROPERTYGET or _PROPERTYPUT
    UINT parameterCount;                // in-arguments, the result not counted
    UINT requiredCount;                 // the first ones; the rest are optional
    std::array<VARTYPE, 2> parameters;  // VT_BSTR, VT_BOOL or VT_I2
};

// The arguments of one call, in parameter order, converted to their types.
using DispatchArguments = std::array<UniqueVariant, 2>;

// The member with that id whose kind the invoke flags ask for: a property put
// for DISPATCH_PROPERTYPUT; otherwise a method for DISPATCH_METHOD and a
// property get for DISPATCH_PROPERTYGET or DISPATCH_METHOD (script hosts ask
// for either or both). Null when there is none: DISP_E_MEMBERNOTFOUND.
const DispatchMember* FindDispatchMember(std::span<const DispatchMember> members, DISPID id, WORD flags) noexcept;

// Fills arguments from the caller's DISPPARAMS: positional ones (held last to
// first), named ones by parameter position (DISPID_PROPERTYPUT for the value
// of a property put), each converted with VariantChangeTypeEx after
// dereferencing (a reference that points nowhere is a type mismatch, never
// followed). An argument that is absent, or passed as VT_ERROR
// DISP_E_PARAMNOTFOUND, takes the zero value of its type (empty text, False,
// 0) when optional. Returns S_OK or the standard dispatch error:
// DISP_E_BADPARAMCOUNT, DISP_E_PARAMNOTOPTIONAL, DISP_E_PARAMNOTFOUND,
// DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW; for the last three *argumentError
// (when given) is the index into rgvarg of the argument at fault.
HRESULT CollectDispatchArguments(const DispatchMember& member, const DISPPARAMS& params, LCID lcid,
                                 DispatchArguments& arguments, UINT* argumentError) noexcept;

// Turns a member's failed status into Invoke's answer. With an EXCEPINFO: fills
// it with the status and the source and description of the thread's error
// information (which it takes), and returns DISP_E_EXCEPTION. Without one:
// leaves the error information in place and returns the status itself.
HRESULT DispatchException(HRESULT failure, EXCEPINFO* exception) noexcept;

}  // namespace tamberlo::com
