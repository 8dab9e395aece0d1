#include "cli/CommandLineParser.h"
#include "cli/UsageError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

using namespace tamberlo::cli;
using testing::HasSubstr;
using testing::Not;
using Kind = ProgramPiece::Kind;
using namespace std::chrono_literals;

namespace {

CommandLineParser::Outcome Parse(std::initializer_list<const char*> arguments) {
    std::vector<const char*> argv{"tamberlo"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return CommandLineParser::Parse(static_cast<int>(argv.size()), argv.data());
}

// The usage message for the arguments; fails the test when they parse.
std::string UsageMessage(std::initializer_list<const char*> arguments) {
    try {
        Parse(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no usage error";
    return {};
}

}  // namespace

TEST(CommandLineParser, KeepsFilesTextsAndStandardInputInTheirOrder) {
    const CliOptions options =
        Parse({"first.sas", "-e", "data a; run;", "-", "--code=proc print; run;", "second.txt", "--code", ""})
            .options;
    const std::vector<ProgramPiece> expected{
        {Kind::File, "first.sas"},     {Kind::Text, "data a; run;"}, {Kind::StandardInput, ""},
        {Kind::Text, "proc print; run;"}, {Kind::File, "second.txt"}, {Kind::Text, ""},
    };
    EXPECT_EQ(options.program, expected);
}

TEST(CommandLineParser, AfterADoubleDashEveryArgumentIsAFile) {
    const CliOptions options = Parse({"-e", "x", "--", "-e.sas", "--raw"}).options;
    const std::vector<ProgramPiece> expected{{Kind::Text, "x"}, {Kind::File, "-e.sas"}, {Kind::File, "--raw"}};
    EXPECT_EQ(options.program, expected);
    EXPECT_FALSE(options.raw);
}

TEST(CommandLineParser, DefaultsLeaveEverythingToTheComponent) {
    const CommandLineParser::Outcome outcome = Parse({"p.sas"});
    EXPECT_EQ(outcome.action, CommandLineParser::Action::Run);
    const CliOptions& options = outcome.options;
    EXPECT_EQ(options.sasRoot, "");
    EXPECT_EQ(options.configFile, "");
    EXPECT_FALSE(options.raw || options.noFormChar || options.report || options.json || options.check ||
                 options.follow);
    EXPECT_FALSE(options.logFile || options.lstFile || options.putDir || options.timeout);
}

TEST(CommandLineParser, TakesEveryOption) {
    const CliOptions options = Parse({"--sas-root", "C:\\SAS\\V8\\", "--config", "my.cfg", "--raw", "--no-formchar",
                                      "--log", "run.log", "--lst", "run.lst", "--put-dir", "out", "--json", "--check",
                                      "--follow", "--timeout", "1.5", "p.sas"})
                                   .options;
    EXPECT_EQ(options.sasRoot, "C:\\SAS\\V8\\");
    EXPECT_EQ(options.configFile, "my.cfg");
    EXPECT_TRUE(options.raw && options.noFormChar && options.json && options.check && options.follow);
    EXPECT_FALSE(options.report);
    EXPECT_EQ(options.logFile, "run.log");
    EXPECT_EQ(options.lstFile, "run.lst");
    EXPECT_EQ(options.putDir, "out");
    EXPECT_EQ(options.timeout, 1500ms);
}

TEST(CommandLineParser, TheReportAloneNeedsNoProgram) {
    const CliOptions options = Parse({"--report"}).options;
    EXPECT_TRUE(options.report);
    EXPECT_TRUE(options.program.empty());
}

TEST(CommandLineParser, HelpAndVersionAreActionsOfTheirOwn) {
    EXPECT_EQ(Parse({"--help"}).action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(Parse({"-h", "p.sas"}).action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(Parse({"--version"}).action, CommandLineParser::Action::ShowVersion);
    const std::string version = CommandLineParser::VersionText();
    EXPECT_TRUE(std::regex_match(version, std::regex("tamberlo [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version;
}

TEST(CommandLineParser, TheHelpTextNamesEveryOptionAndExitStatus) {
    const std::string help = CommandLineParser::HelpText();
    for (const char* name : {"PROGRAM", "-e, --code TEXT", "--sas-root DIR", "--config FILE", "--raw",
                             "--no-formchar", "--log FILE", "--lst FILE", "--put-dir DIR", "--report", "--json",
                             "--check", "--timeout SECONDS", "--follow", "-h, --help", "--version"}) {
        EXPECT_THAT(help, HasSubstr(name));
    }
    for (const char* status : {"\n  0   ", "\n  1   ", "\n  2   ", "\n  3   ", "\n  4   ", "\n  64  ", "\n  74  "}) {
        EXPECT_THAT(help, HasSubstr(status));
    }
}

TEST(CommandLineParser, UsageErrorsAreOneLineNamingTheCulprit) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases{
        {{"--bogus", "p.sas"}, "--bogus"},
        {{"p.sas", "-e"}, "--code"},
        {{"p.sas", "--timeout", "abc"}, "--timeout abc"},
        {{"p.sas", "--timeout", "0"}, "--timeout 0"},
        {{"p.sas", "--timeout", "-1"}, "--timeout -1"},
        {{"p.sas", "--timeout", "inf"}, "--timeout inf"},
        {{"p.sas", "--timeout", "nan"}, "--timeout nan"},
        {{"p.sas", "--timeout", "5s"}, "--timeout 5s"},
        {{"p.sas", "--timeout", "1e10"}, "--timeout 1e10"},
        {{"p.sas", "--json", "--report"}, "--report"},
        {{"p.sas", "--json", "--log", "-"}, "--log -"},
        {{"p.sas", "--json", "--lst", "-"}, "--lst -"},
        {{"p.sas", "--report", "--log", "-"}, "--log -"},
        {{"p.sas", "--log", ""}, "--log"},
        {{"p.sas", "--put-dir", ""}, "--put-dir"},
        {{"-", "p.sas", "-"}, "standard input"},
        {{}, "no program"},
        {{"--raw", "--check"}, "no program"},
    };
    for (const auto& [arguments, culprit] : cases) {
        std::vector<const char*> argv{"tamberlo"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        std::string message;
        try {
            CommandLineParser::Parse(static_cast<int>(argv.size()), argv.data());
        } catch (const UsageError& error) {
            message = error.what();
        }
        EXPECT_THAT(message, HasSubstr(culprit)) << "for " << argv.size() - 1 << " arguments naming " << culprit;
        EXPECT_THAT(message, Not(HasSubstr("\n")));
    }
}

TEST(CommandLineParser, TimeoutsRoundUpToWholeMilliseconds) {
    EXPECT_EQ(CommandLineParser::ParseTimeout("30"), 30000ms);
    EXPECT_EQ(CommandLineParser::ParseTimeout("0.5"), 500ms);
    EXPECT_EQ(CommandLineParser::ParseTimeout("0.0001"), 1ms);
    EXPECT_EQ(CommandLineParser::ParseTimeout("2.5"), 2500ms);
    EXPECT_THAT(UsageMessage({"p.sas", "--timeout", ""}), HasSubstr("--timeout"));
}
