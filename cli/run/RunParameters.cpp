#include "cli/run/RunParameters.h"

#include "cli/base/CommandText.h"

namespace tamberlo::cli {

std::vector<std::pair<std::string, std::string>> ParameterList(const RunSettings& parameters) {
    std::vector<std::pair<std::string, std::string>> list;
    if (parameters.sysparm) list.emplace_back("sysparm", *parameters.sysparm);
    for (const auto& [name, value] : parameters.environment) list.emplace_back("set:" + name, value);
    for (const auto& [name, value] : parameters.macroVariables) list.emplace_back("let:" + name, value);
    // The autoexec file's name is command text, as the user gave it.
    if (parameters.autoexec) list.emplace_back("autoexec", commandtext::ToUtf8(*parameters.autoexec));
    for (const std::string& word : parameters.extraOptions) list.emplace_back("sas-option", word);
    return list;
}

nlohmann::ordered_json ParametersToJson(const RunSettings& parameters) {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (auto& [name, value] : ParameterList(parameters)) {
        if (name == "sas-option") {
            json[name].push_back(std::move(value));
        } else {
            json[name] = std::move(value);
        }
    }
    return json;
}

}  // namespace tamberlo::cli
