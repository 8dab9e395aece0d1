#pragma once

// What every reliability test shares: the SAS roots built beside the tests,
// and a fixture that takes what the process holds before a test and checks
// that the test's runs gave all of it back.

#include "ErrorMatcher.h"
#include "HostPath.h"
#include "ProcessProbe.h"
#include "TestSupport.h"

#include "automation/CodeRunner.h"
#include "engine/SASContract.h"
#include "host/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tamberlo::reliability::test {

using namespace tamberlo::test;
// The matchers the reliability tests use, for every file that uses this
// namespace.
using testing::_;
using testing::AllOf;
using testing::ElementsAre;
using testing::EndsWith;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

inline const char Separator = static_cast<char>(std::filesystem::path::preferred_separator);
// The stand-in, installed as SAS is: the executable and its configuration
// file in one folder (SAS.EXE and sasv8.cfg, natively sas and sasv9.cfg).
inline const std::string StandInRoot = RootFolder(STANDIN_SAS_ROOT);
inline const std::string Exe = sas::ExecutableName;
inline const std::string Cfg = sas::DefaultConfigFileName;

// Each test runs with a temporary folder of its own. SetUp takes the count of
// open descriptors (handles), which ExpectNothingLeft compares at the end,
// together with the folder's listing and this process's children.
class CleanRunTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override { handlesBefore_ = OpenHandleCount(); }

    // Nothing in the temporary folder but `left` (names, sorted), no more
    // descriptors or handles than before the test (give or take `slack` more
    // that the system keeps once made), no child process.
    void ExpectNothingLeft(const std::vector<std::string>& left = {}, std::size_t slack = 0) const;

    TempFolder temp;
    TempFolder work;
    ScopedTempDirectory scopedTemp{temp.Path()};

private:
    std::size_t handlesBefore_ = 0;
};

// Copies the stand-in (executable and configuration file) into `folder`,
// which it makes.
void CopyStandInTo(const std::string& folder);

}  // namespace tamberlo::reliability::test
