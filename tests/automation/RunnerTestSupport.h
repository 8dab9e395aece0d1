#pragma once

#include "TestSupport.h"
#include "host/Error.h"

#include <filesystem>
#include <functional>
#include <string>

namespace tamberlo::test {

inline const std::string FakeRoot =
    std::string(FAKE_SAS_ROOT) + static_cast<char>(std::filesystem::path::preferred_separator);


}  // namespace tamberlo::test
