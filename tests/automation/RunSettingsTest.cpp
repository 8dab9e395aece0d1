// CodeRunner's run settings, one test each, against the stand-in run for
// real: what SAS receives and what the program sees.
#include "ErrorMatcher.h"
#include "RunnerTestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tamberlo;
using testing::HasSubstr;
using testing::IsEmpty;

namespace {

class RunSettingsTest : public testing::Test, protected test::RecordedRunFolders {
protected:
    CodeRunner runner;

    // Runs `program` with `settings`; the log.
    std::string Run(const RunSettings& settings, const std::string& program) {
        runner.SetSafeFormChar(false);
        runner.SetRunSettings(settings);
        runner.SetSASCode(program);
        EXPECT_EQ(runner.Execute(test::StandinRoot), "OK");
        return runner.Log();
    }
    // What SAS received after Tamberlo's own options.
    std::vector<std::string> Received() const {
        const std::vector<std::string> args = test::RecordedArguments(record);
        return {std::find(args.begin(), args.end(), "-LOG") + 2, args.end()};
    }
};

}  // namespace

TEST_F(RunSettingsTest, SysparmIsPassedAsSysparm) {
    RunSettings settings;
    settings.sysparm = R"(a "b" c:\d\)";
    EXPECT_THAT(Run(settings, "%put [&sysparm];"), HasSubstr("\r\n[a \"b\" c:\\d\\]\r\n"));
    EXPECT_EQ(Received(), (std::vector<std::string>{"-SYSPARM", *settings.sysparm}));
}

TEST_F(RunSettingsTest, EnvironmentValuesArePassedWithSet) {
    RunSettings settings;
    settings.environment = {{"REGION", "north west"}, {"EMPTY", ""}};
    EXPECT_THAT(Run(settings, "%put [%sysget(REGION)][%sysget(EMPTY)];"), HasSubstr("\r\n[north west][]\r\n"));
    EXPECT_EQ(Received(), (std::vector<std::string>{"-SET", "REGION", "north west", "-SET", "EMPTY", ""}));
}

TEST_F(RunSettingsTest, MacroVariablesHoldTheirValuesAheadOfTheProgram) {
    RunSettings settings;
    settings.macroVariables = {{"cut", "it's 50%; &x (y"}, {"none", ""}};
    EXPECT_THAT(Run(settings, "%put [&cut][&none];"),
                HasSubstr("\r\n3          %put [&cut][&none];\r\n[it's 50%; &x (y][]\r\n"));
    EXPECT_EQ(runner.PreambleLines(), 2);
    EXPECT_EQ(Received(), (std::vector<std::string>{"-SET", "TAMBERLO_LET_cut", "it's 50%; &x (y"}));
}

TEST_F(RunSettingsTest, AutoexecRunsFirst) {
    RunSettings settings;
    settings.autoexec = work / "auto exec.sas";
    test::WriteFile(*settings.autoexec, "%let from = autoexec;\r\n");
    EXPECT_THAT(Run(settings, "%put &from;"), HasSubstr("\r\n1          %put &from;\r\nautoexec\r\n"));
    EXPECT_EQ(Received(), (std::vector<std::string>{"-AUTOEXEC", *settings.autoexec}));
}

TEST_F(RunSettingsTest, ExtraOptionsComeLastAndCannotTakeTamberlosPlace) {
    RunSettings settings;
    settings.sysparm = "s";
    settings.extraOptions = {"-MEMSIZE", "4G", "-WORK", "a \"b\""};
    Run(settings, "%put x;");
    EXPECT_EQ(Received(), (std::vector<std::string>{"-SYSPARM", "s", "-MEMSIZE", "4G", "-WORK", "a \"b\""}));

    settings.extraOptions = {"-Print", "x.lst"};
    runner.SetRunSettings(settings);
    test::WriteFile(record, "");
    EXPECT_THAT(test::ErrorOf([&] { runner.Execute(test::StandinRoot); }),
                test::IsError(1, "Execute method",
                              "The SAS option -Print cannot be passed to SAS: Tamberlo passes -PRINT itself."));
    EXPECT_EQ(test::ReadFile(record), "") << "SAS was started";
    EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
}
