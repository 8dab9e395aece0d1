#pragma once

#include "host/win32/UniqueAny.h"

#include <windows.h>
#include <ole2.h>

namespace tamberlo::com {

// VARIANTs, cleared with VariantClear. VT_EMPTY holds nothing; an owner
// starts so.
struct VariantTraits {
    using Type = VARIANT;
    static VARIANT Empty() noexcept {
        VARIANT empty;
        VariantInit(&empty);
        return empty;
    }
    static bool IsEmpty(const VARIANT& value) noexcept { return V_VT(&value) == VT_EMPTY; }
    static void Close(VARIANT& value) noexcept { VariantClear(&value); }
};

using UniqueVariant = win32::UniqueAny<VariantTraits>;

}  // namespace tamberlo::com
