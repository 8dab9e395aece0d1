#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace tamberlo::test {

// A test whose runs have a temporary folder of their own: while it lasts the
// system temporary folder (TMPDIR, TMP, TEMP) is Temp(), and at tear-down the
// test fails if anything at all is left there, the run's tmpSAS... files
// above all. The test's own files go in Work(). Use as a fixture
// (TEST_F(MyTest, ...) with `class MyTest : public test::RunFolderTest {}`).
class RunFolderTest : public testing::Test {
protected:
    RunFolderTest();
    void TearDown() override;

    // The run's temporary folder, ending in the separator: leave it empty.
    const std::string& Temp() const noexcept { return temp_; }
    // The path of `name` in the test's own folder.
    std::string Work(const std::string& name = {}) const { return work_ + name; }
    // A new folder beside Work() and Temp(), ending in the separator.
    std::string MakeFolder(const std::string& name);

private:
    TempFolder root_;
    std::string temp_;
    std::string work_;
    ScopedTempDirectory temporaryFolder_;
};

}  // namespace tamberlo::test
