#pragma once

#include "host/win32/UniqueAny.h"

#include <windows.h>

namespace tamberlo::win32 {

// Kernel handles, closed with CloseHandle. Most kernel objects mean "no
// handle" by null; files by INVALID_HANDLE_VALUE.
struct HandleTraits : NullIsEmpty<HANDLE> {
    static void Close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};

struct FileHandleTraits : HandleTraits {
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsEmpty(HANDLE handle) noexcept { return handle == INVALID_HANDLE_VALUE; }
};

using Handle = UniqueAny<HandleTraits>;
using FileHandle = UniqueAny<FileHandleTraits>;

}  // namespace tamberlo::win32
