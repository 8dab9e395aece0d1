#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace tamberlo::cli {

// The JSON documents the command writes keep their members in the order
// they were added.
using Json = nlohmann::ordered_json;

// `json` as text, on one line (indent -1) or indented by `indent` blanks.
// Its texts are converted to UTF-8 beforehand; a stray byte that is no
// UTF-8 becomes U+FFFD, a safety net so that no document ever fails.
inline std::string JsonText(const Json& json, int indent = -1) {
    return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tamberlo::cli
