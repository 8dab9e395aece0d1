#include "Variants.h"

namespace tamberlo::test {

namespace {

// A VARIANT of `type` whose value `set` writes into its member of the union.
template <class Set>
VARIANT Holding(VARTYPE type, Set set) {
    VARIANT v = Of(type);
    set(v);
    return v;
}

}  // namespace

VARIANT Of(VARTYPE type) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    return v;
}

VARIANT String(const wchar_t* value) {
    return Holding(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = value ? SysAllocString(value) : nullptr; });
}

VARIANT Short(short value) {
    return Holding(VT_I2, [&](VARIANT& v) { V_I2(&v) = value; });
}

VARIANT Long(long value) {
    return Holding(VT_I4, [&](VARIANT& v) { V_I4(&v) = value; });
}

VARIANT Double(double value) {
    return Holding(VT_R8, [&](VARIANT& v) { V_R8(&v) = value; });
}

VARIANT Bool(bool value) {
    return Holding(VT_BOOL, [&](VARIANT& v) { V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

VARIANT Missing() {
    return Holding(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; });
}

VARIANT Reference(VARIANT* target) {
    return Holding(VT_BYREF | VT_VARIANT, [&](VARIANT& v) { V_VARIANTREF(&v) = target; });
}

VARIANT Object(IUnknown* object, VARTYPE type) {
    if (object) object->AddRef();
    return Holding(type, [&](VARIANT& v) { V_UNKNOWN(&v) = object; });
}

}  // namespace tamberlo::test
