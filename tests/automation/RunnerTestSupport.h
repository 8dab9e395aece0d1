#pragma once

#include "HostPath.h"
#include "TestSupport.h"
#include "host/Error.h"

#include <filesystem>
#include <functional>
#include <string>

namespace tamberlo::test {

// The stand-in, installed as SAS is; its test switches (TestSwitches.h)
// make it record what it received, sleep, or write given texts.
inline const std::string StandinRoot = RootFolder(STANDIN_SAS_ROOT);

}  // namespace tamberlo::test
