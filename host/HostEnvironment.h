#pragma once

#include <cstdint>
#include <optional>
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

// 64 bits from the system's random source, drawn afresh for every call:
// no value tells anything about another, in this thread, another thread or
// another process. POSIX: getrandom(), read ahead a few hundred bytes at a
// time per thread (a forked child never draws what its parent will);
// Windows: the runtime's random device.
std::uint64_t FreshRandomNumber();

// The roots to search, in order, for a program installed in the standard
// folder `folder` below a drive: on Windows "C:" + folder up to "Z:" + folder;
// on POSIX, which has no drive letters, the folder itself.
std::vector<std::string> DriveRootsToSearch(std::string_view folder);

// The folder of the program `name` as a search of PATH finds it, links
// resolved, ending in '/': on POSIX the real path, without its last part, of
// the first executable regular file `name` in a folder of PATH (an empty
// entry is the current directory); none when PATH holds no such program.
// On Windows always none: programs there are found on their drives.
std::optional<std::string> FolderOfProgramOnPath(std::string_view name);

}  // namespace tamberlo::hostenv
