#pragma once

#include "host/win32/UniqueAny.h"

#include <windows.h>
#include <ole2.h>

namespace tamberlo::com {

// BSTRs, freed with SysFreeString. Null is the empty string, as everywhere
// in automation.
struct BstrTraits : win32::NullIsEmpty<BSTR> {
    static void Close(BSTR text) noexcept { SysFreeString(text); }
};

using UniqueBstr = win32::UniqueAny<BstrTraits>;

}  // namespace tamberlo::com
