#include "automation/com/AnsiText.h"

#include "automation/com/ComError.h"

#include <windows.h>

#include <climits>
#include <new>

namespace tamberlo::com {

std::string ToAnsi(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0) return {};
    if (length > INT_MAX) throw std::bad_alloc();
    const int wide = static_cast<int>(length);
    const int size = WideCharToMultiByte(CP_ACP, 0, text, wide, nullptr, 0, nullptr, nullptr);
    if (size <= 0) ThrowWin32(GetLastError());
    std::string result(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text, wide, result.data(), size, nullptr, nullptr) != size)
        ThrowWin32(GetLastError());
    return result;
}

UniqueBstr ToBstr(const std::string& text) {
    if (text.size() > INT_MAX) throw std::bad_alloc();
    const int length = static_cast<int>(text.size());
    // An empty string, not a null one: some clients compare the pointer.
    if (length == 0) {
        UniqueBstr empty(SysAllocStringLen(nullptr, 0));
        if (!empty.get()) throw std::bad_alloc();
        return empty;
    }
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (size <= 0) ThrowWin32(GetLastError());
    UniqueBstr result(SysAllocStringLen(nullptr, static_cast<UINT>(size)));
    if (!result.get()) throw std::bad_alloc();
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), length, result.get(), size) != size)
        ThrowWin32(GetLastError());
    return result;
}

}  // namespace tamberlo::com
