// Failures of single file calls, injected where the core's file layer calls
// the system (FileFaults.h): a full disk, refused access, too many open
// files, a file that vanishes between the test for it and its reading. Root
// is not stopped by permissions, so these cannot be made on the real disk.

#include "FileFaults.h"
#include "ReliabilityTest.h"

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tamberlo;
using namespace tamberlo::reliability;
using namespace tamberlo::reliability::test;
using tamberlo::filesystem::Fault;

namespace {

class FileFaults : public CleanRunTest {};

}  // namespace

TEST_F(FileFaults, ProgramFileOnAFullDiskFailsTheRunAndIsDeleted) {
    const std::string record = work / "record";
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'x'; run;");
    FileFault full("tmpSASProgram_", FileFault::Action::FailWrites, Fault::DiskFull);
    const Error error = ErrorOf([&] { runner.Execute(StandInRoot); });
    EXPECT_EQ(full.MatchingOpens(), 1);
    EXPECT_THAT(
        error, IsError(1, "Execute method",
                       AllOf(StartsWith("The SAS program file '" + temp.Path() + "tmpSAS"), HasSubstr("tmpSASProgram_"),
                             EndsWith(".sas' could not be written: OverwriteFile Error #61 (Disk full)"))));
    EXPECT_FALSE(Exists(record)) << "SAS was started";
    EXPECT_EQ(runner.LastExecuteReturnValue(), "");
    // SAS never started: the put file this run declared is withdrawn.
    EXPECT_THAT(ListFolder(temp.Path()), IsEmpty());
    EXPECT_EQ(ErrorOf([&] { runner.PutFile(1, true); }).Number(), 5);
    ExpectNothingLeft();
}

TEST_F(FileFaults, TooManyOpenFilesForTheSecondPutFileFailsWith67AndWithdrawsTheFirst) {
    CodeRunner runner;
    runner.SetSASCode("file _PUT1; file _PUT2;");
    {
        FileFault exhausted("tmpPutFile_PUT2_", FileFault::Action::FailOpen, Fault::TooManyFiles);
        const Error error = ErrorOf([&] { runner.Execute(StandInRoot); });
        EXPECT_THAT(error, IsError(67, "Tamberlo", "Too many files"));
        EXPECT_EQ(ErrorOf([&] { runner.PutFile(1, true); }).Number(), 5) << "_PUT1 was kept";
        EXPECT_EQ(ErrorOf([&] { runner.PutFile(2, true); }).Number(), 5) << "_PUT2 was added";
        EXPECT_THAT(ListFolder(temp.Path()), IsEmpty());
    }
    // Nothing of the failed run stands in the way of the next.
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    EXPECT_EQ(runner.PutFileKeys(), (std::vector<std::string>{"_PUT1", "_PUT2"}));
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(FileFaults, LogAndListingThatCannotBeOpenedFailTheRunWithEmptyTextsAndAreDeleted) {
    CodeRunner runner;
    runner.SetSASCode("%put first run;");
    runner.SetSASCode("data _null_; file print; put 'first listing'; run;");
    ASSERT_EQ(runner.Execute(StandInRoot), "OK");
    const std::string firstLog = runner.Log(), firstLst = runner.Lst();
    {
        // "tmpSASL" begins both the log's and the listing's names.
        FileFault denied("tmpSASL", FileFault::Action::FailOpen, Fault::AccessDenied);
        const Error error = ErrorOf([&] { runner.Execute(StandInRoot); });
        EXPECT_EQ(denied.MatchingOpens(), 2) << "both were tried";
        EXPECT_THAT(
            error,
            IsError(1, "Execute method",
                    AllOf(StartsWith("The SAS log file '" + temp.Path() + "tmpSAS"), HasSubstr("tmpSASLog_"),
                          EndsWith(".log' could not be read: ReadToString Error #75 (Path/File access error)"))));
    }
    EXPECT_EQ(runner.LastExecuteReturnValue(), "OK");
    EXPECT_EQ(runner.Log(), "");
    EXPECT_EQ(runner.Lst(), "");
    ExpectNothingLeft();
}

TEST_F(FileFaults, PutFileRefusedAtItsFirstReadFailsWith75AndReadsOnceAllowed) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; file _PUT1; put 'one'; run;");
    ASSERT_EQ(runner.Execute(StandInRoot), "OK");
    const std::string path = runner.PutFile(1, true);
    {
        FileFault denied(path, FileFault::Action::FailOpen, Fault::AccessDenied);
        const Error error = ErrorOf([&] { runner.PutFile(1); });
        // Access denied, as Windows numbers it (70 is another program holding the file).
        EXPECT_THAT(error, IsError(75, "Tamberlo", "Path/File access error"));
        EXPECT_EQ(runner.PutFile(1, true), path);
        EXPECT_EQ(ErrorOf([&] { runner.DebugInfo(); }).Number(), 75);
    }
    EXPECT_EQ(runner.PutFile(1), "one\r\n");
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(FileFaults, ProgramFileVanishingBetweenItsTestAndItsReadingFailsWith53AndAddsNothing) {
    const std::string path = work / "vanishing.sas";
    WriteFile(path, "%put never read;");
    CodeRunner runner;
    runner.SetSASCode("%put before;");
    // The first open is the test that the file exists; before the second, the
    // reading, it goes.
    FileFault vanish(path, FileFault::Action::VanishBeforeOpen, Fault::None, 2);
    const Error error = ErrorOf([&] { runner.SetSASCode(path); });
    EXPECT_EQ(vanish.MatchingOpens(), 2);
    EXPECT_THAT(error, IsError(53, "Tamberlo", "File not found"));
    EXPECT_EQ(runner.SASCode(), "%put before;\r\n");
    EXPECT_FALSE(Exists(path));
    ExpectNothingLeft();
}

#ifndef _WIN32
// A FIFO opened for reading blocks until something opens it for writing. In
// place of a log, or named as a program file, it must not hold the client up
// for ever. Each case runs in a child process, which an alarm ends if it
// hangs, and which removes its own folders (it ends without unwinding).
TEST_F(FileFaults, FifoInPlaceOfTheLogDoesNotHangTheRun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::alarm(30);
            bool ok = false;
            {
                CodeRunner runner;
                runner.SetSASCode("%put x;");
                RunControl control;
                // Only once SAS has ended: SAS itself would block on the FIFO.
                control.whileRunning = [](const std::string& log) {
                    if (!ChildProcesses().empty()) return;
                    struct stat info {};
                    if (::lstat(log.c_str(), &info) == 0 && S_ISFIFO(info.st_mode)) return;
                    ::unlink(log.c_str());
                    ::mkfifo(log.c_str(), 0600);
                };
                // A FIFO is no log that can be read: the run fails, at once.
                try {
                    runner.Execute(StandInRoot, "", control);
                } catch (const Error& error) {
                    ok = error.Description().find("could not be read: ReadToString Error #75") != std::string::npos &&
                         runner.Log().empty();
                }
            }
            ok = ok && ListFolder(temp.Path()).empty();
            std::filesystem::remove_all(temp.Path());
            std::filesystem::remove_all(work.Path());
            std::_Exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(FileFaults, FifoNamedAsAProgramFileDoesNotHangSASCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::string path = work / "pipe.sas";
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            ::alarm(30);
            bool ok = false;
            {
                CodeRunner runner;
                try {
                    runner.SetSASCode(path);
                } catch (const Error&) {}
                ok = runner.SASCode().empty();
            }
            std::filesystem::remove_all(temp.Path());
            std::filesystem::remove_all(work.Path());
            std::_Exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
#endif
