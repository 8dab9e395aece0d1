#include "RunFolderTest.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace tamberlo::test {

RunFolderTest::RunFolderTest() : temp_(MakeFolder("tmp")), work_(MakeFolder("work")), temporaryFolder_(temp_) {}

void RunFolderTest::TearDown() {
    EXPECT_THAT(ListFolder(temp_), testing::IsEmpty()) << "a run left a file in the temporary folder";
}

std::string RunFolderTest::MakeFolder(const std::string& name) {
    std::filesystem::create_directories(root_ / name);
    return root_ / name + static_cast<char>(std::filesystem::path::preferred_separator);
}

}  // namespace tamberlo::test
