#pragma once

// VARIANTs as clients pass them (Windows only). Each holds what it is given:
// a new BSTR, an added reference; whoever takes it clears it with
// VariantClear (a DispatchCall does so for its arguments).

#include <windows.h>
#include <oaidl.h>

namespace tamberlo::test {

// Only the type set: VT_NULL, VT_EMPTY, or one whose value the caller fills in.
VARIANT Of(VARTYPE type);

VARIANT String(const wchar_t* value);  // VT_BSTR; null stays a null BSTR
VARIANT Short(short value);            // VT_I2
VARIANT Long(long value);              // VT_I4
VARIANT Double(double value);          // VT_R8
VARIANT Bool(bool value);              // VT_BOOL
// VT_ERROR DISP_E_PARAMNOTFOUND: an optional argument marked as omitted.
VARIANT Missing();
// VT_BYREF | VT_VARIANT, as a script variable is passed; owns nothing.
VARIANT Reference(VARIANT* target);
// VT_UNKNOWN or VT_DISPATCH, holding a reference of its own.
VARIANT Object(IUnknown* object, VARTYPE type);

}  // namespace tamberlo::test
