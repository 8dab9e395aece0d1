#pragma once

#include "cli/run/BatchOptions.h"
#include "cli/batch/BatchProgramList.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// The programs that the arguments name, sorted by name: each .sas file (in
// any letter case) given, and those in each folder given (and its subfolders
// with `recursive`); where the program expands wildcards itself (Windows),
// `*` and `?` in an argument's last part first. A name that exists nowhere
// and a folder that cannot be read are kept as programs with a problem, so
// that each fails in the report instead of stopping the whole batch. Throws
// UsageError for a file that is not a .sas file, two programs whose names the
// file system takes for one, or no program at all.
BatchProgramList CollectPrograms(const std::vector<std::string>& arguments, bool recursive);

// What a command lists: the files of one extension, and how its messages
// name them.
struct ListedKind {
    const char* extension;     // ".sas", in any letter case
    const char* noSuchFile;    // "no such program file"
    const char* notOfKind;     // "not a .sas program file"
    const char* noneInFolder;  // "no program: no .sas file in the folders named"
    // `*` and `?` are expanded on every system, not only where programs
    // expand them themselves: a quoted pattern names a folder of more files
    // than a command line holds.
    bool expandsWildcards = false;
};
extern const ListedKind ProgramFileKind;
extern const ListedKind LogFileKind;  // .log: the logs `tamberlo scan` reads

// CollectPrograms for files of any kind: each named "<name>" after the
// file's name without the extension.
BatchProgramList CollectFiles(const std::vector<std::string>& arguments, bool recursive, const ListedKind& kind);

// The programs of one shard: of the list, those at positions K-1, K-1+N,
// K-1+2N, ..., so that the N shards together hold every program once.
BatchProgramList SelectShard(const BatchProgramList& programs, const Shard& shard);

}  // namespace tamberlo::cli
