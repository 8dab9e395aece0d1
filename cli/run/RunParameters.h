#pragma once

#include "engine/RunSettings.h"

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

namespace tamberlo::cli {

// A run's parameters as the reports show them, so that a report says which
// study it was; texts in UTF-8.

// The parameters by the names a user gives them, in command-line order:
// ("sysparm", TEXT), ("set:NAME", VALUE), ("let:NAME", VALUE), ("autoexec",
// FILE), ("sas-option", WORD) once per word.
std::vector<std::pair<std::string, std::string>> ParameterList(const RunSettings& parameters);

// The same as one JSON object: "sysparm", "set:NAME", "let:NAME" and
// "autoexec" as strings, "sas-option" as an array of the words; a
// parameter not given is left out.
nlohmann::ordered_json ParametersToJson(const RunSettings& parameters);

}  // namespace tamberlo::cli
