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

}  // namespace tamberlo::com
