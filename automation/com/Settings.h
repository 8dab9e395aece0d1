#pragma once

#include <optional>
#include <string>

namespace tamberlo::com {

// A setting that script clients make outside the automation interface,
// read afresh at every use: the per-user value HKCU\Software\Tamberlo\<name>
// first, then the machine's HKLM\Software\Tamberlo\<name>.
struct Setting {
    std::wstring value;
    // "HKCU\Software\Tamberlo\<name>" or "HKLM\...", for messages.
    std::string origin;
};

// The string value (REG_SZ or REG_EXPAND_SZ, unexpanded) of the first of the
// two keys that holds a non-empty one; none when neither does (absent,
// empty, or of another type).
std::optional<Setting> ReadStringSetting(const wchar_t* name);

// The DWORD value of the first of the keys that holds a non-zero one, the
// machine's read in the module's own registry view and then in the other
// bitness's, so that one value serves both builds; none when none does (a
// user's 0 leaves the machine's value in force).
std::optional<unsigned long> ReadNonZeroDwordSetting(const wchar_t* name);

}  // namespace tamberlo::com
