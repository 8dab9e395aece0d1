#include "automation/com/Settings.h"

#include "automation/com/RegistryKey.h"

#include <windows.h>

#include <new>

namespace tamberlo::com {

namespace {

std::optional<std::wstring> ReadString(HKEY root, const wchar_t* name) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegGetValueW(root, L"Software\\Tamberlo", name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegGetValueW(root, L"Software\\Tamberlo", name, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type,
                     value.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(wcsnlen(value.c_str(), value.size()));
    if (value.empty()) return std::nullopt;
    return value;
}

DWORD ReadDword(HKEY root, REGSAM view, const wchar_t* name) {
    RegistryKey key;
    if (RegOpenKeyExW(root, L"Software\\Tamberlo", 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return 0;
    return value;
}

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));  // names are ASCII
    return out;
}

}  // namespace

std::optional<Setting> ReadStringSetting(const wchar_t* name) {
    const struct {
        HKEY root;
        const char* prefix;
    } places[] = {{HKEY_CURRENT_USER, "HKCU\\Software\\Tamberlo\\"},
                  {HKEY_LOCAL_MACHINE, "HKLM\\Software\\Tamberlo\\"}};
    for (const auto& place : places) {
        if (std::optional<std::wstring> value = ReadString(place.root, name)) {
            return Setting{std::move(*value), place.prefix + Narrow(name)};
        }
    }
    return std::nullopt;
}

std::optional<unsigned long> ReadNonZeroDwordSetting(const wchar_t* name) {
    constexpr REGSAM otherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const struct {
        HKEY root;
        REGSAM view;
    } places[] = {{HKEY_CURRENT_USER, 0}, {HKEY_LOCAL_MACHINE, 0}, {HKEY_LOCAL_MACHINE, otherView}};
    for (const auto& place : places) {
        if (const DWORD value = ReadDword(place.root, place.view, name)) return value;
    }
    return std::nullopt;
}

}  // namespace tamberlo::com
