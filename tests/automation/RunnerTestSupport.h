#pragma once

#include "HostPath.h"
#include "TestSupport.h"
#include "host/Error.h"

#include <filesystem>
#include <functional>
#include <string>

namespace tamberlo::test {

inline const std::string FakeRoot = RootFolder(FAKE_SAS_ROOT);


}  // namespace tamberlo::test
