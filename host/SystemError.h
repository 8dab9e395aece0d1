#pragma once

#include "host/Error.h"

#include <string>

namespace tamberlo {

// One function per platform: turns a system error code (GetLastError() on
// Windows, errno on POSIX) into the run-time error of the same meaning.
// `path` is the file the failed call was about; POSIX needs it to tell a
// missing file (53) from a missing folder on the way to it (76).
Error ErrorFromSystemCode(unsigned long code, const std::string& path = {});

// The system's own wording for a code, without a trailing line break.
std::string SystemMessage(unsigned long code);

}  // namespace tamberlo
