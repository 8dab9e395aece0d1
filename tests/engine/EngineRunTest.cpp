#include "ErrorMatcher.h"
#include "HostPath.h"
#include "TestSupport.h"
#include "engine/Engine.h"
#include "engine/SASContract.h"
#include "host/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace tamberlo;
using tamberlo::test::IsError;
using test::ErrorOf;
using testing::_;
using testing::AllOf;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

namespace {

const std::string StandinRoot = tamberlo::test::RootFolder(STANDIN_SAS_ROOT);
const std::string FormChar = "options formchar='|-++++++++++=|-/|<>*';\r\n";
const std::string Exe = sas::ExecutableName;
const std::string Cfg = sas::DefaultConfigFileName;

// Runs in a temporary folder of the test's own, against the stand-in, which
// records what it received in `record` (the command line) and beside it.
class EngineRun : public testing::Test, protected test::RecordedRunFolders {
protected:
    std::string Program() const { return test::ReadFile(record + ".program"); }
    std::vector<std::string> ReceivedArguments() const { return test::RecordedArguments(record); }
};

}  // namespace

TEST_F(EngineRun, EmptyProgramIsNoCommandAndTouchesNothing) {
    Engine engine;
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "ERROR: No command supplied.");
    EXPECT_FALSE(test::Exists(record + ".program"));
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
    EXPECT_EQ(engine.Command()->Preamble(), "");
    EXPECT_EQ(engine.Output()->PutFiles()->Count(), 0);
}

TEST_F(EngineRun, OneBlankLineIsAProgram) {
    Engine engine;
    engine.Command()->Append("");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(Program(), FormChar + "\r\n");
}

TEST_F(EngineRun, ProgramFileIsFormCharThenTheProgramUnchanged) {
    Engine engine;
    engine.Command()->Append("data _null_;\trun;");
    engine.Execute(StandinRoot, "");
    EXPECT_EQ(Program(), FormChar + "data _null_;\trun;\r\n");
}

TEST_F(EngineRun, WithSafeFormCharOffTheProgramFileIsExactlyTheProgram) {
    Engine engine;
    engine.Output()->SetSafeFormChar(false);
    engine.Command()->Append("x;");
    engine.Execute(StandinRoot, "");
    EXPECT_EQ(Program(), "x;\r\n");
}

TEST_F(EngineRun, PutFileStatementsFollowTheOptionEachWithAnEmptyLine) {
    Engine engine;
    engine.Command()->Append(test::WritesToPutFile(2) + " file _put1;");
    engine.Execute(StandinRoot, "");
    const auto files = engine.Output()->PutFiles();
    ASSERT_EQ(files->Count(), 2);
    EXPECT_EQ(Program(), FormChar + "filename _PUT1 '" + files->Item(1)->Path() + "' mod;\r\n\r\n" +
                             "filename _PUT2 '" + files->Item(2)->Path() + "' mod;\r\n\r\n" + test::WritesToPutFile(2) +
                             " file _put1;\r\n");
    EXPECT_EQ(engine.Command()->Preamble() + engine.Command()->Value(), Program());
    // SAS wrote through the fileref.
    EXPECT_EQ(files->Item("_PUT2")->Value(), "written to _PUT2\r\n");
}

TEST_F(EngineRun, CommandLineIsExactAndItsPathsAreTheRunsFiles) {
    Engine engine;
    engine.Command()->Append("x;");
    std::string root = StandinRoot;
    root.pop_back();  // given without its final separator
    engine.Execute(root, StandinRoot + Cfg);
    const auto args = ReceivedArguments();
    ASSERT_GE(args.size(), 6u);
    // The last six, alike on every platform.
    const std::vector<std::string> files(args.end() - 6, args.end());
    EXPECT_EQ(files[0], "-SYSIN");
    EXPECT_THAT(test::OutsideRunFolder(files[1]), StartsWith(temp.Path() + "tmpSASProgram_"));
    EXPECT_EQ(files[2], "-PRINT");
    EXPECT_THAT(test::OutsideRunFolder(files[3]), StartsWith(temp.Path() + "tmpSASLst_"));
    EXPECT_EQ(files[4], "-LOG");
    EXPECT_THAT(test::OutsideRunFolder(files[5]), StartsWith(temp.Path() + "tmpSASLog_"));
#ifdef _WIN32
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[0], StandinRoot + "SAS.EXE");
    EXPECT_THAT(std::vector<std::string>(args.begin() + 1, args.begin() + 7),
                ElementsAre("-nologo", "-$nostatuswin", "-noconfig", "-icon", "-config", StandinRoot + "sasv8.cfg"));
    // Byte for byte as the process received it.
    EXPECT_EQ(test::ReadFile(record), Engine::BuildCommandLine(StandinRoot + "SAS.EXE", StandinRoot + "sasv8.cfg",
                                                               files[1], files[3], files[5]));
#else
    ASSERT_EQ(args.size(), 11u);
    EXPECT_EQ(args[0], StandinRoot + "sas");
    EXPECT_THAT(std::vector<std::string>(args.begin() + 1, args.begin() + 5),
                ElementsAre("-nologo", "-noterminal", "-config", StandinRoot + "sasv9.cfg"));
#endif
}

TEST(EngineCommandLine, PiecesInOrderWithTwoBlanksBeforeConfig) {
#ifdef _WIN32
    EXPECT_EQ(Engine::BuildCommandLine("C:\\S\\SAS.EXE", "C:\\S\\sasv8.cfg", "p.sas", "l.lst", "l.log"),
              "\"C:\\S\\SAS.EXE\" -nologo -$nostatuswin -noconfig -icon  -config \"C:\\S\\sasv8.cfg\" -SYSIN "
              "\"p.sas\" -PRINT \"l.lst\" -LOG \"l.log\"");
#else
    EXPECT_EQ(Engine::BuildCommandLine("/opt/S/sas", "/opt/S/sasv9.cfg", "p.sas", "l.lst", "l.log"),
              "\"/opt/S/sas\" -nologo -noterminal  -config \"/opt/S/sasv9.cfg\" -SYSIN \"p.sas\" -PRINT \"l.lst\" "
              "-LOG \"l.log\"");
#endif
}

TEST_F(EngineRun, LogAndListingAreStoredRawAndNoRunFileIsLeft) {
    test::ScopedEnvironment log("TAMBERLO_STANDIN_LOG", "NOTE: tab\there\r\n");
    test::ScopedEnvironment listing("TAMBERLO_STANDIN_LIST",
                                    "\x0c"
                                    "given listing\r\n");
    Engine engine;
    engine.Command()->Append("x;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->Log(), "NOTE: tab%9here\r\n");
    EXPECT_EQ(engine.Output()->Lst(), "%12given listing\r\n");
    engine.Output()->SetCleanOutput(false);
    EXPECT_EQ(engine.Output()->Log(), "NOTE: tab\there\r\n");
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}

TEST_F(EngineRun, MissingListingLeavesTheListingEmptyNotTheEarlierOne) {
    Engine engine;
    engine.Command()->Append("x;");
    {
        test::ScopedEnvironment listing("TAMBERLO_STANDIN_LIST",
                                        "\x0c"
                                        "earlier listing\r\n");
        engine.Execute(StandinRoot, "");
        ASSERT_EQ(engine.Output()->Lst(), "%12earlier listing\r\n");
    }
    test::ScopedEnvironment noListing("TAMBERLO_STANDIN_NO_LIST", "1");
    test::ScopedEnvironment newLog("TAMBERLO_STANDIN_LOG", "second log\r\n");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->Lst(), "");
    EXPECT_EQ(engine.Output()->Log(), "second log\r\n");
}

TEST_F(EngineRun, NoLogOrListingOnAFreshEngineLeavesThemEmpty) {
    test::ScopedEnvironment noLog("TAMBERLO_STANDIN_NO_LOG", "1");
    test::ScopedEnvironment noListing("TAMBERLO_STANDIN_NO_LIST", "1");
    Engine engine;
    engine.Command()->Append("x;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->Log(), "");
    EXPECT_EQ(engine.Output()->Lst(), "");
}

TEST_F(EngineRun, MissingSASExeFailsAndWithdrawsThePutFilesItDeclared) {
    Engine engine;
    engine.Command()->Append("file _PUT1;");
    const Error error = ErrorOf([&] { engine.Execute(work / "nowhere", ""); });
    EXPECT_THAT(error, IsError(1, "Execute method",
                               "The SAS executable '" + work.Path() + "nowhere" +
                                   static_cast<char>(std::filesystem::path::preferred_separator) + Exe +
                                   "' does not exist.  Did you specify the correct SASRoot?"));
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
    EXPECT_EQ(engine.Output()->PutFiles()->Count(), 0);
    EXPECT_EQ(engine.Command()->Preamble(), FormChar);
}

TEST_F(EngineRun, RootErrorComesBeforeConfigError) {
    Engine engine;
    engine.Command()->Append("x;");
    EXPECT_THAT(ErrorOf([&] { engine.Execute(work / "nowhere", work / "none.cfg"); }).Description(),
                HasSubstr("Did you specify the correct SASRoot?"));
    EXPECT_THAT(ErrorOf([&] { engine.Execute(StandinRoot, work / "none.cfg"); }).Description(),
                HasSubstr("Did you specify the correct SASConfig?"));
}

TEST_F(EngineRun, SecondRunWithTheSamePutFileFailsWithDuplicateKeyAndLeavesNothingNew) {
    Engine engine;
    engine.Command()->Append("file _PUT1;");
    engine.Execute(StandinRoot, "");
    const auto before = test::ListFolder(temp.Path());
    const Error error = ErrorOf([&] { engine.Execute(StandinRoot, ""); });
    EXPECT_EQ(error.Number(), 457);
    EXPECT_EQ(test::ListFolder(temp.Path()), before);
    EXPECT_EQ(engine.Output()->PutFiles()->Count(), 1);
}

TEST_F(EngineRun, EveryRunStartsFromAFreshPreamble) {
    Engine engine;
    engine.Command()->Append("x;");
    engine.Execute(StandinRoot, "");
    engine.Output()->SetSafeFormChar(false);
    engine.Execute(StandinRoot, "");
    EXPECT_EQ(Program(), "x;\r\n");
}

TEST_F(EngineRun, ExecutableThatCannotBeStartedIsAnErrorAndLeavesNoRunFile) {
    test::TempFolder badRoot;
    test::WriteFile(badRoot / Exe, "not a program");
    test::WriteFile(badRoot / Cfg, "");
    Engine engine;
    engine.Output()->SetLog("earlier log");
    engine.Command()->Append("x;");
    const Error error = ErrorOf([&] { engine.Execute(badRoot.Path(), ""); });
    EXPECT_THAT(error, IsError(1, "Execute method",
                               StartsWith("The SAS executable '" + badRoot.Path() + Exe + "' could not be started: ")));
    EXPECT_GT(error.Description().size(),
              ("The SAS executable '" + badRoot.Path() + Exe + "' could not be started: ").size());
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
    EXPECT_EQ(engine.Output()->Log(), "earlier log");
    EXPECT_EQ(engine.LastExitCode(), std::nullopt);
}

TEST_F(EngineRun, ProgramFileThatCannotBeWrittenIsAnErrorAndSASIsNotStarted) {
    Engine engine;
    engine.Command()->Append("x;");
    test::ScopedTempDirectory missing(temp / "gone/");
    const Error error = ErrorOf([&] { engine.Execute(StandinRoot, ""); });
#ifdef _WIN32
    // Windows writes the program straight into the temporary folder.
    EXPECT_THAT(error, IsError(1, "Execute method",
                               AllOf(StartsWith("The SAS program file '" + temp.Path() + "gone"),
                                     HasSubstr("' could not be written: OverwriteFile Error #76 (Path not found)"))));
#else
    // POSIX makes the run's private folder there first.
    EXPECT_THAT(error, IsError(1, "Execute method",
                               "The SAS program file could not be written: the run's folder could not be made in '" +
                                   temp.Path() + "gone/': OverwriteFile Error #76 (Path not found)"));
#endif
    EXPECT_FALSE(test::Exists(record));
}

TEST_F(EngineRun, TimeLimitStopsSASFailsAndLeavesNoRunFile) {
    test::ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "20");
    Engine engine;
    engine.Command()->Append("x;");
    RunControl control;
    control.timeLimit = std::chrono::milliseconds(1500);
    int calls = 0;
    control.whileRunning = [&](const std::string& logPath) {
        ++calls;
        EXPECT_THAT(test::OutsideRunFolder(logPath), StartsWith(temp.Path() + "tmpSASLog_"));
    };
    try {
        engine.Execute(StandinRoot, "", control);
        FAIL() << "no error";
    } catch (const TimeLimitReached& error) {
        EXPECT_THAT(error, IsError(1, _, "SAS did not end within 1.5 seconds and was stopped."));
    }
    EXPECT_GT(calls, 0);
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}

TEST_F(EngineRun, TemporaryFolderWithASingleQuoteStillGivesWorkingPutFiles) {
    const std::string quoted = temp / "it's/";
    std::filesystem::create_directories(quoted);
    test::ScopedTempDirectory scoped(quoted);
    Engine engine;
    engine.Command()->Append(test::WritesToPutFile(1));
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->PutFiles()->Item(1)->Value(), "written to _PUT1\r\n");
}

TEST(EngineThreads, FourEnginesOnFourThreadsKeepTheirFilesAndSwitchesApart) {
    test::TempFolder temp;
    test::ScopedTempDirectory scopedTemp(temp.Path());
    constexpr int Threads = 4;
    constexpr int Runs = 5;
    std::vector<std::vector<std::string>> values(Threads), paths(Threads);
    std::vector<int> cleanMismatches(Threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&, t] {
            for (int run = 0; run < Runs; ++run) {
                Engine engine;
                engine.Output()->SetCleanOutput(t % 2 == 0);
                engine.Command()->Append(test::WritesToPutFile(t + 1));
                engine.Execute(StandinRoot, "");
                const auto item = engine.Output()->PutFiles()->Item("_PUT" + std::to_string(t + 1));
                values[t].push_back(item->Value());
                paths[t].push_back(item->Path());
                if (engine.Output()->CleanOutput() != (t % 2 == 0)) ++cleanMismatches[t];
            }
        });
    }
    for (auto& worker : workers) worker.join();
    std::set<std::string> allPaths;
    for (int t = 0; t < Threads; ++t) {
        EXPECT_EQ(cleanMismatches[t], 0) << t;
        for (int run = 0; run < Runs; ++run) {
            // Each run wrote once, to its own thread's put file only.
            EXPECT_EQ(values[t][run], "written to _PUT" + std::to_string(t + 1) + "\r\n") << t;
            allPaths.insert(paths[t][run]);
        }
    }
    EXPECT_EQ(allPaths.size(), static_cast<std::size_t>(Threads * Runs));
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
}

// Requested while SAS runs, after a few ticks: SAS ends, no tick comes after
// the request, no exit code is kept and no run file is left.
TEST_F(EngineRun, AStopSignalEndsSASFailsAndLeavesNoRunFile) {
    test::ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "20");
    Engine engine;
    engine.Command()->Append("x;");
    StopSignal stop;
    RunControl control;
    control.stop = &stop;
    int asked = 0;
    control.whileRunning = [&](const std::string&) {
        if (++asked == 3) stop.Request();
    };
    try {
        engine.Execute(StandinRoot, "", control);
        FAIL() << "no error";
    } catch (const RunStopped& error) {
        EXPECT_THAT(error, IsError(1, "Execute method", "SAS was stopped on request before it ended."));
    }
    EXPECT_EQ(asked, 3);
    EXPECT_FALSE(engine.LastExitCode());
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}
