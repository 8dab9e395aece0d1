#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// The parts of the name of a file sent with a remote run, which is written
// at that name below the run's folder: "data/in.csv" is {"data", "in.csv"}.
// Throws RequestRefused for a name that could lead out of the folder or is
// not one plain relative path: empty, absolute, with a ".." part, or with an
// empty or "." part ("a//b", "./a", "a/").
std::vector<std::string> SentFileParts(std::string_view name);

}  // namespace tamberlo::cli
