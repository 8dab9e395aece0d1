#pragma once

#include "host/win32/UniqueAny.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tamberlo::com {

// Registry keys, closed with RegCloseKey.
struct RegistryKeyTraits : win32::NullIsEmpty<HKEY> {
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};

// Owns one open registry key (null means empty), with the few registry
// operations the module's registration and settings need.
class RegistryKey : public win32::UniqueAny<RegistryKeyTraits> {
public:
    using UniqueAny::UniqueAny;

    // Creates the key (or opens it when it exists) for writing. Throws
    // ComFailure with the system's reason.
    static RegistryKey Create(HKEY parent, const std::wstring& subkey);

    // Writes a REG_SZ value; an empty name is the key's default value.
    // Throws ComFailure with the system's reason.
    void SetString(const std::wstring& name, const std::wstring& value) const;

    // Whether the subkey exists; `view` may name a registry view
    // (KEY_WOW64_32KEY, KEY_WOW64_64KEY) other than the process's own.
    static bool Exists(HKEY parent, const std::wstring& subkey, REGSAM view = 0) noexcept;

    // The names of the subkey's own subkeys; none when it does not exist.
    // Throws std::bad_alloc only.
    static std::vector<std::wstring> SubkeyNames(HKEY parent, const std::wstring& subkey);

    // Deletes the subkey with everything below it, in the process's own
    // view or in `view`. A subkey that does not exist counts as deleted.
    // Returns the system's error code.
    static LSTATUS DeleteTree(HKEY parent, const std::wstring& subkey, REGSAM view = 0) noexcept;

    // Deletes the subkey when it holds no subkeys; leaves it otherwise.
    static void DeleteIfEmpty(HKEY parent, const std::wstring& subkey) noexcept;
};

}  // namespace tamberlo::com
