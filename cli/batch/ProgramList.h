#pragma once

#include "cli/run/BatchOptions.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One program of a batch.
struct BatchProgram {
    // Unique within the batch and the same on every machine: the file name
    // without ".sas", preceded by the subfolder (with "/") it was found in
    // below a named folder. The outputs are named after it.
    std::string name;
    std::string path;  // as given, or below the folder as given
    // Why it cannot run, as one line (a file named that is not there, a
    // folder that cannot be read): it fails with a Tamberlo error instead of
    // stopping the whole batch. Empty for a program that can run.
    std::string problem;

    // Where its findings are: the path, or the name of a program that is
    // no file (a single run's -e text).
    const std::string& Place() const noexcept { return path.empty() ? name : path; }

    // A run of a parameter table's row: the row's name (`name` is then
    // "<program>[<row>]"), the outputs' name below --out ("<row>/<program>")
    // and the run's parameters (the row's values over the command line's).
    // Empty and none for a program run once with the command line's.
    std::string row = {};
    std::string outputName = {};
    std::shared_ptr<const RunSettings> parameters = {};  // shared by the runs of a row

    const std::string& OutputName() const noexcept { return outputName.empty() ? name : outputName; }
};

// The programs that the arguments name, sorted by name: each .sas file (in
// any letter case) given, and those in each folder given (and its subfolders
// with `recursive`); where the program expands wildcards itself (Windows),
// `*` and `?` in an argument's last part first. A name that exists nowhere
// and a folder that cannot be read are kept as programs with a problem, so
// that each fails in the report instead of stopping the whole batch. Throws
// UsageError for a file that is not a .sas file, two programs whose names the
// file system takes for one, or no program at all.
std::vector<BatchProgram> CollectPrograms(const std::vector<std::string>& arguments, bool recursive);

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
std::vector<BatchProgram> CollectFiles(const std::vector<std::string>& arguments, bool recursive,
                                       const ListedKind& kind);

// The programs of one shard: of the list, those at positions K-1, K-1+N,
// K-1+2N, ..., so that the N shards together hold every program once.
std::vector<BatchProgram> SelectShard(const std::vector<BatchProgram>& programs, const Shard& shard);

}  // namespace tamberlo::cli
