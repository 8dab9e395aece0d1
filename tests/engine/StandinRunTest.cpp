// Runs against the SAS stand-in, installed as SAS is: what a client gets
// back from a real program.
#include "TestSupport.h"
#include "engine/Engine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

using namespace tamberlo;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

namespace {

const std::string StandinRoot =
    std::string(STANDIN_SAS_ROOT) + static_cast<char>(std::filesystem::path::preferred_separator);

class StandinRun : public testing::Test {
protected:
    test::TempFolder temp;
    test::ScopedTempDirectory scopedTemp{temp.Path()};
};

}  // namespace

TEST_F(StandinRun, TheExampleGivesLogListingAndBothPutFiles) {
    Engine engine;
    engine.Command()->AppendStoredProgram(EXAMPLE_PROGRAM);
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");

    const std::string log = engine.Output()->Log();
    EXPECT_THAT(log, StartsWith("1          options formchar='|-++++++++++=|-/|<>*';\r\n2          filename _PUT1 '"));
    EXPECT_THAT(log, HasSubstr("NOTE: 4 records were written to the file _PUT1.\r\n"));
    EXPECT_THAT(log, HasSubstr("NOTE: The report is complete.\r\n"));
    EXPECT_EQ(log.find("ERROR"), std::string::npos);

    EXPECT_THAT(engine.Output()->Lst(), StartsWith("%12                                Quarterly Sales"));
    EXPECT_THAT(engine.Output()->Lst(), HasSubstr("Total      3300\r\n"));
    engine.Output()->SetCleanOutput(false);
    EXPECT_THAT(engine.Output()->Lst(), StartsWith("\x0c                                Quarterly Sales"));

    const auto files = engine.Output()->PutFiles();
    ASSERT_EQ(files->Count(), 2);
    EXPECT_EQ(files->Item("_PUT1")->Value(),
              "region,quarter,sales\r\nNorth,Q1,1200\r\nSouth,Q1,950\r\nWest,Q1,1150\r\n");
    EXPECT_EQ(files->Item("_PUT3")->Value(), "regions=3 total=3300\r\n");
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}

TEST_F(StandinRun, AFileRefOnlyInsideALongerOneGetsAnEmptyPutFile) {
    Engine engine;
    engine.Command()->Append("data _null_; file _PUT10; put 'ten'; run;");
    engine.Execute(StandinRoot, "");
    EXPECT_EQ(engine.Output()->PutFiles()->Item("_PUT10")->Value(), "ten\r\n");
    EXPECT_EQ(engine.Output()->PutFiles()->Item("_PUT1")->Value(), "");
}

TEST_F(StandinRun, ErrorsOfTheProgramAreInTheLogAndTheRunIsStillOK) {
    Engine engine;
    engine.Output()->SetLst("earlier listing");
    engine.Command()->Append("no such statement;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_THAT(engine.Output()->Log(),
                HasSubstr("ERROR 180-322: Statement is not valid or it is used out of proper order.\r\n"));
    // Nothing printed: the stand-in, like SAS, writes no listing file, and
    // no earlier listing passes for this run's.
    EXPECT_EQ(engine.Output()->Lst(), "");
    EXPECT_EQ(engine.LastExitCode(), 2);
}

// The report printed by a first run is not shown again by a second run
// whose step fails (its data set has gone) and prints nothing.
TEST_F(StandinRun, ASecondRunThatPrintsNothingShowsNoListing) {
    Engine engine;
    engine.Command()->Append("data _null_; file print; put 'The report';");
    ASSERT_EQ(engine.Execute(StandinRoot, ""), "OK");
    ASSERT_THAT(engine.Output()->Lst(), HasSubstr("The report\r\n"));
    engine.Command()->Append("set gone;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->Lst(), "");
    EXPECT_THAT(engine.Output()->Log(), HasSubstr("3          set gone;\r\n"));
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}

// A run that fails before SAS starts takes back the put files it declared,
// so that once the root is right the same program runs on the same engine.
TEST_F(StandinRun, ARetryAfterAWrongRootRunsAndWritesItsPutFile) {
    Engine engine;
    engine.Command()->Append("data _null_; file _PUT1; put 'second try'; run;");
    const Error wrongRoot = test::ErrorOf([&] { engine.Execute(temp / "nowhere", ""); });
    EXPECT_THAT(wrongRoot.Description(), HasSubstr("Did you specify the correct SASRoot?"));
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());

    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    ASSERT_EQ(engine.Output()->PutFiles()->Count(), 1);
    EXPECT_EQ(engine.Output()->PutFiles()->Item("_PUT1")->Value(), "second try\r\n");
    // One filename statement only: the failed run's is gone from the preamble.
    EXPECT_THAT(engine.Output()->Log(), StartsWith("1          options formchar='|-++++++++++=|-/|<>*';\r\n"
                                                   "2          filename _PUT1 '"));
    EXPECT_THAT(engine.Output()->Log(), HasSubstr("\r\n3          \r\n4          data _null_;"));
    // Once SAS has run, the put files stay: a rerun without Reset meets 457.
    EXPECT_EQ(test::ErrorOf([&] { engine.Execute(StandinRoot, ""); }).Number(), 457);
    EXPECT_EQ(engine.Output()->PutFiles()->Count(), 1);
}

TEST_F(StandinRun, PutFilesWorkInATemporaryFolderWithAQuoteAndBlanks) {
    const std::string folder = temp / "Bob's temp files/";
    std::filesystem::create_directories(folder);
    test::ScopedTempDirectory scoped(folder);
    Engine engine;
    engine.Command()->Append("data _null_; file _PUT1; put 'quoted'; run;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");
    EXPECT_EQ(engine.Output()->PutFiles()->Item(1)->Value(), "quoted\r\n");
    EXPECT_THAT(engine.Output()->Log(), HasSubstr("Bob''s temp files"));
}

#ifdef _WIN32
// The stand-in is installed at C:\Program Files\SAS Institute\SAS\V8\ of the
// prefix (fixture standin_installed): the default search finds it.
TEST_F(StandinRun, DefaultSearchFindsTheStandardInstallation) {
    Engine engine;
    engine.Command()->Append("data _null_; file _PUT1; put 'found'; run;");
    EXPECT_EQ(engine.Execute("", ""), "OK");
    EXPECT_EQ(engine.Output()->PutFiles()->Item(1)->Value(), "found\r\n");
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());
}
#endif

#ifndef _WIN32
// SAS for UNIX: the stand-in installed as sas with sasv9.cfg beside it.
TEST_F(StandinRun, SASForUnixReceivesItsOwnBatchOptions) {
    const test::TempFolder work;
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", work / "record");
    Engine engine;
    engine.Command()->Append("data _null_; run;");
    EXPECT_EQ(engine.Execute(StandinRoot, ""), "OK");

    std::vector<std::string> args;
    std::istringstream lines(test::ReadFile(work / "record"));
    for (std::string line; std::getline(lines, line);) args.push_back(line);
    ASSERT_EQ(args.size(), 11u);
    // The run's files, in a folder of the run's own.
    const std::string folder = args[6].substr(0, args[6].find_last_of('/') + 1);
    EXPECT_THAT(folder, StartsWith(temp.Path() + "tmpSAS_"));
    EXPECT_THAT(args[6], StartsWith(folder + "tmpSASProgram_"));
    EXPECT_THAT(args[8], StartsWith(folder + "tmpSASLst_"));
    EXPECT_THAT(args[10], StartsWith(folder + "tmpSASLog_"));
    EXPECT_EQ(args, (std::vector<std::string>{StandinRoot + "sas", "-nologo", "-noterminal", "-config",
                                              StandinRoot + "sasv9.cfg", "-SYSIN", args[6], "-PRINT", args[8], "-LOG",
                                              args[10]}));
    EXPECT_EQ(engine.Console(), "");
    EXPECT_EQ(engine.LastExitCode(), 0);
}

// While SAS runs, no other user can read what it writes: the run's folder
// is 0700 and each of its files 0600, whatever the umask; then all go.
TEST_F(StandinRun, TheRunsFilesAreItsOwnersAloneWhileSASRuns) {
    Engine engine;
    engine.Command()->Append("data _null_; file print; put 'x'; run;");
    std::map<std::string, unsigned> modes;
    RunControl control;
    control.whileRunning = [&](const std::string& log) {
        const std::filesystem::path folder = std::filesystem::path(log).parent_path();
        modes[folder.filename().string().substr(0, 7)] =
            static_cast<unsigned>(std::filesystem::status(folder).permissions());
        for (const auto& file : std::filesystem::directory_iterator(folder))
            modes[file.path().filename().string().substr(0, 9)] = static_cast<unsigned>(file.status().permissions());
    };
    EXPECT_EQ(engine.Execute(StandinRoot, "", control), "OK");
    EXPECT_EQ(
        modes,
        (std::map<std::string, unsigned>{
            {"tmpSAS_", 0700}, {"tmpSASPro", 0600}, {"tmpSASLog", 0600}, {"tmpSASLst", 0600}, {"tmpSASCon", 0600}}));
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
}

// A link to the stand-in on a PATH of the test's own: the root is the folder
// the link leads to, where sasv9.cfg is.
TEST_F(StandinRun, WithoutARootTheSasOnPathIsFound) {
    const test::TempFolder bin;
    std::filesystem::create_symlink(StandinRoot + "sas", bin / "sas");
    test::ScopedEnvironment path("PATH", bin.Path());
    Engine engine;
    engine.Command()->Append("data _null_; file _PUT1; put 'found'; run;");
    EXPECT_EQ(engine.Execute("", ""), "OK");
    EXPECT_EQ(engine.Output()->PutFiles()->Item(1)->Value(), "found\r\n");
    EXPECT_THAT(engine.Output()->Log(), HasSubstr("NOTE: The SAS System used:"));
}

// SAS for UNIX does not start with a configuration file it refuses; why is
// only on its console, which the run keeps and then deletes.
TEST_F(StandinRun, TheConsoleOfASASThatDidNotStartIsKept) {
    const test::TempFolder work;
    const std::string config = work / "windows.cfg";
    test::WriteFile(config, "-icon\n");
    Engine engine;
    engine.Command()->Append("data _null_; file print; put 'x'; run;");
    EXPECT_EQ(engine.Execute(StandinRoot, config), "OK");
    EXPECT_EQ(engine.Console(), "ERROR: Unrecognized SAS option name, ICON, in the configuration file " + config +
                                    ".\nERROR: SAS did not start.\n");
    EXPECT_EQ(engine.LastExitCode(), 2);
    EXPECT_EQ(engine.Output()->Log(), "");
    EXPECT_EQ(engine.Output()->Lst(), "");
    EXPECT_THAT(test::RunFilesLeft(temp.Path()), IsEmpty());

    engine.Execute(StandinRoot, "");
    EXPECT_EQ(engine.Console(), "");
}
#endif
