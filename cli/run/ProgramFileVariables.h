#pragma once

#include "engine/RunSettings.h"

#include <string>

namespace tamberlo::cli {

// The macro variables by which a program knows its own file, as SAS's own
// clients set them: SAS is given a copy of the program in the run's private
// folder (SYSIN names the copy), and a program that includes its neighbours
// ("&_SASPROGRAMDIR/macros.sas") needs the original's place.
//   _SASPROGRAMFILE  the file's full path, without quotes
//   _SASPROGRAMDIR   its folder, without a separator at the end (the empty
//                    text for a file at the root of a POSIX file system)
namespace programfile {

inline constexpr const char* FileVariable = "_SASPROGRAMFILE";
inline constexpr const char* FolderVariable = "_SASPROGRAMDIR";

// `settings` with both variables of the program file `path` (command text)
// added as path macro variables, by the host's narrow names. A variable the
// user set (--let, a parameter table's let: column) is left to the user's
// value, in any case of its name. Throws UsageError when the host has no
// narrow name for the file or its folder (Windows: a character outside the
// ANSI code page and no short name).
RunSettings WithProgramFile(RunSettings settings, const std::string& path);

}  // namespace programfile
}  // namespace tamberlo::cli
