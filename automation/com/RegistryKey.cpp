#include "automation/com/RegistryKey.h"

#include "automation/com/ComError.h"

namespace tamberlo::com {

RegistryKey RegistryKey::Create(HKEY parent, const std::wstring& subkey) {
    RegistryKey key;
    const LSTATUS status = RegCreateKeyExW(parent, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(status));
    return key;
}

void RegistryKey::SetString(const std::wstring& name, const std::wstring& value) const {
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    if (status != ERROR_SUCCESS) ThrowWin32(static_cast<DWORD>(status));
}

bool RegistryKey::Exists(HKEY parent, const std::wstring& subkey, REGSAM view) noexcept {
    RegistryKey key;
    return RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::vector<std::wstring> RegistryKey::SubkeyNames(HKEY parent, const std::wstring& subkey) {
    std::vector<std::wstring> names;
    RegistryKey key;
    if (RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    wchar_t name[256];  // the longest key name the registry allows, and its terminator
    for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

LSTATUS RegistryKey::DeleteTree(HKEY parent, const std::wstring& subkey, REGSAM view) noexcept {
    LSTATUS status = ERROR_SUCCESS;
    if (view == 0) {
        status = RegDeleteTreeW(parent, subkey.c_str());
    } else {
        // RegDeleteTreeW knows no view: empty the key through a handle
        // opened in the view, then delete the key itself there.
        RegistryKey key;
        status = RegOpenKeyExW(parent, subkey.c_str(), 0, KEY_READ | KEY_WRITE | DELETE | view, key.put());
        if (status == ERROR_SUCCESS) {
            status = RegDeleteTreeW(key.get(), nullptr);
            if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(parent, subkey.c_str(), view, 0);
        }
    }
    return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND ? ERROR_SUCCESS : status;
}

void RegistryKey::DeleteIfEmpty(HKEY parent, const std::wstring& subkey) noexcept {
    // RegDeleteKeyW refuses a key that still has subkeys.
    RegDeleteKeyW(parent, subkey.c_str());
}

}  // namespace tamberlo::com
