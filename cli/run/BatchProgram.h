#pragma once

// One program of a batch (or a scan's log): what the program lists make,
// the runs take and the outcomes and reports name.

#include "engine/RunSettings.h"

#include <memory>
#include <string>

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

}  // namespace tamberlo::cli
