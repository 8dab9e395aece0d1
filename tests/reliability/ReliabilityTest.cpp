#include "ReliabilityTest.h"

namespace tamberlo::reliability::test {

void CleanRunTest::SetUpTestSuite() {
    // A first run makes what a process makes once and keeps (the time
    // locale, libraries the system loads on a first process start), so that
    // the counts of the tests compare like with like.
    TempFolder folder;
    ScopedTempDirectory scoped(folder.Path());
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'warm'; run;");
    runner.Execute(StandInRoot);
    runner.PutFile(1);
    runner.DebugInfo();
    ErrorOf([&] { runner.Execute(StandInRoot + "missing"); });
    ChildProcesses();
}

void CleanRunTest::ExpectNothingLeft(const std::vector<std::string>& left, std::size_t slack) const {
    EXPECT_EQ(ListFolder(temp.Path()), left);
    if (slack == 0) {
        EXPECT_EQ(OpenHandleCount(), handlesBefore_);
    } else {
        EXPECT_LE(OpenHandleCount(), handlesBefore_ + slack);
    }
    EXPECT_THAT(ChildProcesses(), testing::IsEmpty());
}

void CopyStandInTo(const std::string& folder) {
    std::filesystem::create_directories(folder);
    for (const std::string& name : {Exe, Cfg}) {
        std::filesystem::copy_file(StandInRoot + name, std::filesystem::path(folder) / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

}  // namespace tamberlo::reliability::test
