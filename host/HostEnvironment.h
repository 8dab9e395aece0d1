#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the engine asks of the host besides files and processes; one source
// per platform.
namespace tamberlo::hostenv {

// Windows: GetTempPathA with a 255-character buffer, the empty text on
// failure or when the path does not fit. POSIX: $TMPDIR when set and not
// empty, else /tmp, always ending in '/'.
std::string SystemTempDirectory();

// The current local date and time in the host's own format: the short date,
// a blank, the long time (with United States settings "12/7/2026 5:06:44 PM").
std::string LocalDateTimeText();

// The roots to search, in order, for a program installed in the standard
// folder `folder` below a drive: on Windows "C:" + folder up to "Z:" + folder;
// on POSIX there are no drive letters and so no roots.
std::vector<std::string> DriveRootsToSearch(std::string_view folder);

}  // namespace tamberlo::hostenv
