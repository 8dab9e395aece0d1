#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tamberlo::com {

// Owns one open registry key, closed on destruction. Null means empty.
class RegistryKey {
public:
    RegistryKey() noexcept = default;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        if (this != &other) {
            reset();
            key_ = std::exchange(other.key_, nullptr);
        }
        return *this;
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey() { reset(); }

    // Creates the key (or opens it when it exists) for writing. Throws
    // ComFailure with the system's reason.
    static RegistryKey Create(HKEY parent, const std::wstring& subkey);

    // Takes ownership of a key opened elsewhere.
    static RegistryKey Adopt(HKEY key) noexcept { return RegistryKey(key); }

    HKEY get() const noexcept { return key_; }
    void reset() noexcept {
        if (HKEY key = std::exchange(key_, nullptr)) RegCloseKey(key);
    }

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

private:
    explicit RegistryKey(HKEY key) noexcept : key_(key) {}
    HKEY key_ = nullptr;
};

}  // namespace tamberlo::com
