// Runs that go wrong on the way (the temporary folder, SAS itself, the files
// it leaves), end to end against the SAS stand-in: each must end with its
// documented result, and leave no file, descriptor, handle or process behind.

#include "ReliabilityTest.h"

#include <atomic>
#include <chrono>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace tamberlo;
using namespace tamberlo::reliability;
using namespace tamberlo::reliability::test;

namespace {

class Faults : public CleanRunTest {
protected:
    // A runner whose log and listing already hold an earlier run's texts, so
    // that a run which cannot replace them shows.
    void RunFirst(CodeRunner& runner) {
        runner.SetSASCode("%put first run;");
        runner.SetSASCode("data _null_; file print; put 'first listing'; run;");
        ASSERT_EQ(runner.Execute(StandInRoot), "OK");
        firstLog = runner.Log();
        firstLst = runner.Lst();
        ASSERT_THAT(firstLog, HasSubstr("\r\nfirst run\r\n"));
        ASSERT_THAT(firstLst, HasSubstr("first listing\r\n"));
    }

    // With the temporary folder unusable, a run fails before SAS starts and
    // makes nothing: without put files the program file cannot be written,
    // with them the first put file cannot be made.
    void ExpectRunsFailBeforeSAS(const std::string& unusable) {
        const std::string record = work / "record";
        ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
        CodeRunner runner;
        RunFirst(runner);
        std::filesystem::remove(record);
        ScopedTempDirectory scoped(unusable);

        const Error program = ErrorOf([&] { runner.Execute(StandInRoot); });
#ifdef _WIN32
        // Windows writes the program straight into the temporary folder.
        EXPECT_THAT(program,
                    IsError(1, "Execute method",
                            AllOf(StartsWith("The SAS program file '" + unusable + "tmpSASProgram_"),
                                  EndsWith(".sas' could not be written: OverwriteFile Error #76 (Path not found)"))));
#else
        // POSIX makes the run's private folder there first.
        EXPECT_THAT(program,
                    IsError(1, "Execute method",
                            "The SAS program file could not be written: the run's folder could not be made in '" +
                                unusable + "': OverwriteFile Error #76 (Path not found)"));
#endif

        runner.SetSASCode("data _null_; file _PUT1; put 'never'; run;");
        const Error putFile = ErrorOf([&] { runner.Execute(StandInRoot); });
        EXPECT_THAT(putFile, IsError(76, "Tamberlo", "Path not found"));
        EXPECT_EQ(ErrorOf([&] { runner.PutFile(1, true); }).Number(), 5) << "a put file was added";

        EXPECT_FALSE(Exists(record)) << "SAS was started";
        EXPECT_EQ(runner.LastExecuteReturnValue(), "OK");
        EXPECT_EQ(runner.Log(), firstLog);
        EXPECT_EQ(runner.Lst(), firstLst);
    }

    std::string firstLog;
    std::string firstLst;
};

// Kills the children of this process once `ready` exists (the stand-in
// writes its record first of all, so by then SAS is past its start), once.
class ChildKiller {
public:
    explicit ChildKiller(std::string ready)
        : ready_(std::move(ready)), thread_([this] {
              while (!stop_ && killed_ == 0) {
                  if (Exists(ready_)) killed_ = static_cast<int>(KillChildProcesses());
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~ChildKiller() { Stop(); }
    int Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        return killed_;
    }

private:
    const std::string ready_;
    std::atomic<bool> stop_{false};
    std::atomic<int> killed_{0};
    std::thread thread_;
};

}  // namespace

TEST_F(Faults, MissingTemporaryFolderFailsBeforeSASStartsAndMakesNothing) {
    ExpectRunsFailBeforeSAS(temp / "gone" + Separator);
    ExpectNothingLeft();
}

TEST_F(Faults, FileInPlaceOfTheTemporaryFolderFailsBeforeSASStartsAndMakesNothing) {
    WriteFile(temp / "plain", "a file, not a folder");
    ExpectRunsFailBeforeSAS(temp / "plain" + Separator);
    EXPECT_EQ(ReadFile(temp / "plain"), "a file, not a folder");
    ExpectNothingLeft({"plain"});
}

TEST_F(Faults, SASWritingNoLogOrListingLeavesThemEmptyAndTheRunIsOK) {
    CodeRunner runner;
    RunFirst(runner);
    {
        ScopedEnvironment noLog("TAMBERLO_STANDIN_NO_LOG", "1");
        runner.SetSASCode("data _null_; file print; put 'second listing'; run;");
        EXPECT_EQ(runner.Execute(StandInRoot), "OK");
        EXPECT_EQ(runner.Log(), "") << "the first run's log";
        EXPECT_THAT(runner.Lst(), HasSubstr("second listing\r\n"));
    }
    ScopedEnvironment noListing("TAMBERLO_STANDIN_NO_LIST", "1");
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    EXPECT_THAT(runner.Log(), HasSubstr("\r\nfirst run\r\n"));
    EXPECT_EQ(runner.Lst(), "") << "the earlier run's listing";
    ExpectNothingLeft();
}

TEST_F(Faults, SASCrashingMidRunLeavesHalfALogTheWrittenPutFileAndNothingElse) {
    // Many %put lines first, so that the half of the log SAS writes before it
    // crashes holds no measured time.
    std::string program;
    for (int line = 1; line <= 12; ++line) program += "%put line " + std::to_string(line) + " before the crash;\r\n";
    program += "data _null_; file _PUT1; put 'written before the crash'; run;";
    std::string fullLog, fullPutPath;
    {
        CodeRunner whole;
        whole.SetSASCode(program);
        ASSERT_EQ(whole.Execute(StandInRoot), "OK");
        fullLog = whole.Log();
        fullPutPath = whole.PutFile(1, true);
    }

    ScopedEnvironment crash("TAMBERLO_STANDIN_CRASH", "1");
    CodeRunner runner;
    runner.SetSASCode(program);
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    // The whole log as this run would have written it: its put file's path
    // (whose digits vary in number) in the filename statement's echo.
    const auto at = fullLog.find(fullPutPath);
    ASSERT_NE(at, std::string::npos);
    fullLog.replace(at, fullPutPath.size(), runner.PutFile(1, true));
    // The first half by bytes: a prefix of the whole log, of half its length
    // give or take the few characters by which the measured times of two
    // runs may differ.
    const std::string log = runner.Log();
    EXPECT_EQ(log, fullLog.substr(0, log.size()));
    EXPECT_NEAR(static_cast<double>(log.size()), fullLog.size() / 2.0, 8.0);
    EXPECT_THAT(log, HasSubstr("line 8 before the crash\r\n"));
    EXPECT_EQ(runner.Lst(), "");
    EXPECT_EQ(runner.PutFile(1), "written before the crash\r\n");
    EXPECT_THAT(ListFolder(temp.Path()), ElementsAre(StartsWith("tmpPutFile_PUT1_")));
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(Faults, SASKilledMidRunEndsTheWaitWithEmptyTextsAndNothingLeft) {
    CodeRunner runner;
    RunFirst(runner);
    ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "600");
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", work / "started");
    runner.SetSASCode("data _null_; file _PUT1; put 'never written'; run;");
    ChildKiller killer(work / "started");
    // A killed SAS is a run that wrote nothing: no text of the first run
    // stays.
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    EXPECT_EQ(killer.Stop(), 1);
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    EXPECT_NE(runner.LastExitCode(), std::optional<int>(0));
    EXPECT_EQ(runner.PutFile(1), "");
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(Faults, ACallbackThatThrowsStopsSASDeletesTheRunsFilesAndPassesOn) {
    struct GaveUp {};
    ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "600");
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", work / "started");
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'never written'; run;");
    RunControl control;
    control.whileRunning = [&](const std::string&) {
        if (Exists(work / "started")) throw GaveUp();
    };
    EXPECT_THROW(runner.Execute(StandInRoot, "", control), GaveUp);
    EXPECT_FALSE(runner.LastExitCode());
    // SAS had started: its put file stays until Reset, as after any run.
    EXPECT_THAT(ListFolder(temp.Path()), ElementsAre(StartsWith("tmpPutFile_PUT1_")));
    EXPECT_EQ(runner.PutFile(1), "");
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(Faults, LogAndListingReplacedByFoldersFailTheRunWithEmptyTextsAndOnlyTheFoldersStay) {
    CodeRunner runner;
    RunFirst(runner);
    runner.SetSASCode("data _null_; file print; put 'second listing'; run;");
    // Whenever the run looks in on SAS, and once more after SAS has ended,
    // the log and the listing become folders.
    RunControl control;
    std::string logPath;
    control.whileRunning = [&](const std::string& log) {
        logPath = log;
        std::vector<std::string> targets{log};
        const std::string folder = log.substr(0, log.find_last_of("/\\") + 1);
        for (const std::string& name : ListFolder(folder))
            if (name.rfind("tmpSASLst_", 0) == 0) targets.push_back(folder + name);
        for (const std::string& path : targets) {
            if (!std::filesystem::is_directory(path)) {
                std::filesystem::remove(path);
                std::filesystem::create_directory(path);
            }
        }
    };
    // A log that is there but cannot be read is a failure, not "OK"; the
    // listing is tried too, and neither text of the first run stays.
    const Error error = ErrorOf([&] { runner.Execute(StandInRoot, "", control); });
    EXPECT_THAT(error,
                IsError(1, "Execute method",
                        StartsWith("The SAS log file '" + logPath + "' could not be read: ReadToString Error #")));
    EXPECT_EQ(runner.LastExecuteReturnValue(), "OK");
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    // The run deletes files, not folders: a folder in place of its log or
    // listing stays where it is, unless the run's own folder goes with all
    // that is in it (POSIX).
    std::vector<std::string> left = ListFolder(temp.Path());
#ifdef _WIN32
    EXPECT_THAT(left, testing::Contains(logPath.substr(temp.Path().size())));
#else
    EXPECT_THAT(left, testing::IsEmpty());
#endif
    for (const std::string& name : left) EXPECT_TRUE(std::filesystem::is_directory(temp / name)) << name;
    for (const std::string& name : left) std::filesystem::remove(temp / name);
    ExpectNothingLeft();
}

TEST_F(Faults, PutFileDeletedBeforeItsFirstReadFailsWith53ButItsPathStillComesBack) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'one'; run; data _null_; file _PUT2; put 'two'; run;");
    ASSERT_EQ(runner.Execute(StandInRoot), "OK");
    const std::string path = runner.PutFile(1, true);
    std::filesystem::remove(path);

    for (const auto& read :
         std::vector<std::function<void()>>{[&] { runner.PutFile(1); }, [&] { runner.DebugInfo(); }}) {
        const Error error = ErrorOf(read);
        EXPECT_THAT(error, IsError(53, "Tamberlo", "File not found"));
    }
    EXPECT_EQ(runner.PutFile(1, true), path);
    EXPECT_EQ(runner.PutFile(2), "two\r\n");
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(Faults, PutFileFolderGoneBeforeResetFailsReadsWith76AndResetStillWorks) {
    auto runner = std::make_unique<CodeRunner>();
    runner->SetSASCode("data _null_; file _PUT1; put 'one'; run;");
    ASSERT_EQ(runner->Execute(StandInRoot), "OK");
    const std::string path = runner->PutFile(1, true);
    std::filesystem::remove_all(temp.Path());

    const Error error = ErrorOf([&] { runner->PutFile(1); });
    EXPECT_THAT(error, IsError(76, _, "Path not found"));
    EXPECT_EQ(ErrorOf([&] { runner->DebugInfo(); }).Number(), 76);
    EXPECT_EQ(runner->PutFile(1, true), path);
    EXPECT_NO_THROW(runner->Reset());
    EXPECT_EQ(runner->SASCode(), "");
    // A runner that ends with its put file's folder gone ends quietly too.
    std::filesystem::create_directory(temp.Path());
    runner->SetSASCode("data _null_; file _PUT1; put 'one'; run;");
    ASSERT_EQ(runner->Execute(StandInRoot), "OK");
    std::filesystem::remove_all(temp.Path());
    EXPECT_NO_THROW(runner.reset());
    std::filesystem::create_directory(temp.Path());
    ExpectNothingLeft();
}

#ifdef _WIN32

namespace {

// Holds a file open for reading, sharing nothing but deletion: others can
// neither read nor write it, but may delete it (it goes when this ends).
class HeldOpen {
public:
    explicit HeldOpen(const std::string& path, DWORD share = FILE_SHARE_DELETE)
        : handle_(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr)) {}
    ~HeldOpen() { Release(); }
    bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held()) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

}  // namespace

TEST_F(Faults, LogAndListingHeldOpenByAnotherFailTheRunWithEmptyTextsAndNothingIsLeft) {
    CodeRunner runner;
    RunFirst(runner);
    runner.SetSASCode("data _null_; file print; put 'second listing'; run;");
    std::vector<std::unique_ptr<HeldOpen>> held;
    RunControl control;
    // Once SAS has ended (no child left), its log and listing are taken.
    control.whileRunning = [&](const std::string& log) {
        if (!held.empty() || !ChildProcesses().empty()) return;
        held.push_back(std::make_unique<HeldOpen>(log));
        for (const std::string& name : ListFolder(temp.Path()))
            if (name.rfind("tmpSASLst_", 0) == 0) held.push_back(std::make_unique<HeldOpen>(temp / name));
    };
    const Error error = ErrorOf([&] { runner.Execute(StandInRoot, "", control); });
    ASSERT_EQ(held.size(), 2u);
    for (const auto& file : held) EXPECT_TRUE(file->Held());
    EXPECT_THAT(error,
                IsError(1, _,
                        AllOf(HasSubstr("tmpSASLog_"),
                              HasSubstr(".log' could not be read: ReadToString Error #70 (Permission denied)"))));
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    held.clear();
    ExpectNothingLeft();
}

TEST_F(Faults, PutFileLockedBeforeItsFirstReadFailsWith70AndReadsOnceReleased) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'one'; run;");
    ASSERT_EQ(runner.Execute(StandInRoot), "OK");
    const std::string path = runner.PutFile(1, true);
    {
        HeldOpen lock(path, 0);
        ASSERT_TRUE(lock.Held());
        const Error error = ErrorOf([&] { runner.PutFile(1); });
        EXPECT_THAT(error, IsError(70, "Tamberlo", "Permission denied"));
        EXPECT_EQ(runner.PutFile(1, true), path);
    }
    EXPECT_EQ(runner.PutFile(1), "one\r\n");
    runner.Reset();
    ExpectNothingLeft();
}

#endif
