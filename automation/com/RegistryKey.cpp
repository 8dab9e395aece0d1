#include "automation/com/RegistryKey.h"

#include "automation/com/ComError.h"

namespace tamberlo::com {

RegistryKey RegistryKey::Create(HKEY parent, const std::wstring& subkey) {
    HKEY key = nullptr;
    const LSTATUS status = RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(status));
    return RegistryKey(key);
}

void RegistryKey::SetString(const std::wstring& name, const std::wstring& value) const {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(key_, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (status != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(status));
}

LSTATUS RegistryKey::DeleteTree(HKEY parent, const std::wstring& subkey) noexcept {
    const LSTATUS status = RegDeleteTreeW(parent, subkey.c_str());
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace tamberlo::com
