#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// What the engine asks of the host besides files and processes; one source
// per platform.
namespace tamberlo::hostenv {

// Thrown where the temporary folder has no name in the ANSI code page, by
// which alone SAS can be given the files in it: the folder's name with each
// such character as the code page's default, and the first such character.
class TempFolderWithoutAnsiName : public std::runtime_error {
public:
    TempFolderWithoutAnsiName(std::string folder, char32_t character)
        : std::runtime_error("the temporary folder " + folder + " has no name in the ANSI code page"),
          folder_(std::move(folder)),
          character_(character) {}
    const std::string& Folder() const noexcept { return folder_; }
    char32_t Character() const noexcept { return character_; }

private:
    std::string folder_;
    char32_t character_;
};

// Windows: the folder GetTempPath names, in the ANSI code page (or, where
// that lacks a character of it, its short name, and TempFolderWithoutAnsiName
// when it has none that fits), the empty text on failure or when the path
// does not fit the 255-character buffer it was always asked with. POSIX:
// $TMPDIR when set and not empty, else /tmp, always ending in '/'.
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

// The folder of an installation whose program `name` is on PATH, ending in
// '/': for each executable `name` in a folder of PATH, in order (an empty
// entry is the current directory), its chain of links is followed one link
// at a time, and the first folder on that chain (the PATH folder first)
// that holds both `name` and `companion` (either may be a link) is the
// answer; a `name` whose chain passes no such folder is passed over. None
// when no folder fits. On Windows always none: programs there are found on
// their drives.
std::optional<std::string> FolderOfProgramOnPath(std::string_view name, std::string_view companion);

}  // namespace tamberlo::hostenv
