#include "cli/single/CommandLineParser.h"
#include "cli/run/SessionOptions.h"
#include "cli/base/UsageError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace tamberlo::cli;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;
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
    const SingleRunOptions options =
        Parse({"first.sas", "-e", "data a; run;", "-", "--code=proc print; run;", "second.txt", "--code", ""}).options;
    const std::vector<ProgramPiece> expected{
        {Kind::File, "first.sas"},        {Kind::Text, "data a; run;"}, {Kind::StandardInput, ""},
        {Kind::Text, "proc print; run;"}, {Kind::File, "second.txt"},   {Kind::Text, ""},
    };
    EXPECT_EQ(options.program, expected);
}

TEST(CommandLineParser, AfterADoubleDashEveryArgumentIsAFile) {
    const SingleRunOptions options = Parse({"-e", "x", "--", "-e.sas", "--raw"}).options;
    const std::vector<ProgramPiece> expected{{Kind::Text, "x"}, {Kind::File, "-e.sas"}, {Kind::File, "--raw"}};
    EXPECT_EQ(options.program, expected);
    EXPECT_FALSE(options.raw);
}

TEST(CommandLineParser, DefaultsLeaveEverythingToTheComponent) {
    const CommandLineParser::Outcome outcome = Parse({"p.sas"});
    EXPECT_EQ(outcome.action, CommandLineParser::Action::Run);
    const SingleRunOptions& options = outcome.options;
    EXPECT_EQ(options.sasRoot, "");
    EXPECT_EQ(options.configFile, "");
    EXPECT_FALSE(options.raw || options.noFormChar || options.report || options.json || options.check ||
                 options.follow);
    EXPECT_FALSE(options.logFile || options.lstFile || options.putDir || options.timeout);
}

TEST(CommandLineParser, TakesEveryOption) {
    const SingleRunOptions options =
        Parse({"--sas-root", "C:\\SAS\\V8\\", "--config", "my.cfg", "--raw", "--no-formchar", "--log", "run.log",
               "--lst", "run.lst", "--put-dir", "out", "--json", "--check", "--follow", "--timeout", "1.5", "p.sas"})
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
    const SingleRunOptions options = Parse({"--report"}).options;
    EXPECT_TRUE(options.report);
    EXPECT_TRUE(options.program.empty());
}

TEST(CommandLineParser, HelpAndVersionAreActionsOfTheirOwn) {
    EXPECT_EQ(Parse({"--help"}).action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(Parse({"-h", "p.sas"}).action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(Parse({"--version"}).action, CommandLineParser::Action::ShowVersion);
    // They answer ahead of a fault in the other arguments.
    EXPECT_EQ(Parse({"--timeout", "soon", "--help"}).action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(Parse({"--log", "", "--version"}).action, CommandLineParser::Action::ShowVersion);
    const CommandLineParser::Outcome batchHelp = Parse({"batch", "-j", "0", "-h"});
    EXPECT_EQ(batchHelp.action, CommandLineParser::Action::ShowHelp);
    EXPECT_EQ(batchHelp.text, CommandLineParser::HelpText(CommandLineParser::Form::Batch));
    EXPECT_EQ(Parse({"-h"}).text, CommandLineParser::HelpText());
    const std::string version = CommandLineParser::VersionText();
    EXPECT_TRUE(std::regex_match(version, std::regex("tamberlo [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version;
}

// Each form's help has a line for every option its parser takes and for no
// other, and names every exit status.
TEST(CommandLineParser, TheHelpListsExactlyTheParsersOptionsAndEveryExitStatus) {
    using Form = CommandLineParser::Form;
    const std::vector<std::pair<Form, std::vector<const char*>>> forms{
        {Form::Single,
         {"\n  0   ", "\n  1   ", "\n  2   ", "\n  3   ", "\n  4   ", "\n  64  ", "\n  74  ", "\n  130 "}},
        {Form::Batch, {"\n  0   ", "\n  1   ", "\n  2   ", "\n  3   ", "\n  4   ", "\nand 64 ", " 74 ", " 130 "}},
        {Form::Scan, {"\n  0   ", "\n  1   ", "\n  2   ", "\n  3   ", "\nand 64 ", " 74 ", " 130 "}},
    };
    // An option line: two spaces, the names and the value name (NAME=VALUE
    // for a pair), then the
    // description after two spaces or on the next line.
    const std::regex optionLine("^  (-[^ ,]+(?:, --[^ ]+)?(?: [A-Z/=]+)?|[A-Z]+)(?:  +[^ ].*)?$");
    for (const auto& [form, statuses] : forms) {
        const std::string help = CommandLineParser::HelpText(form);
        std::multiset<std::string> listed;
        std::istringstream lines(help);
        for (std::string line; std::getline(lines, line);) {
            std::smatch match;
            if (std::regex_match(line, match, optionLine)) listed.insert(match[1]);
        }
        const std::vector<std::string> declared = CommandLineParser::OptionNames(form);
        EXPECT_EQ(listed, std::multiset<std::string>(declared.begin(), declared.end())) << help;
        for (const char* status : statuses) EXPECT_THAT(help, HasSubstr(status));
    }
    EXPECT_THAT(CommandLineParser::HelpText(), StartsWith("Usage: tamberlo [OPTIONS] [PROGRAM ...]\n\n"));
    EXPECT_THAT(CommandLineParser::HelpText(Form::Batch),
                StartsWith("Usage: tamberlo batch [OPTIONS] PROGRAM ...\n\n"));
    EXPECT_THAT(CommandLineParser::HelpText(Form::Scan), StartsWith("Usage: tamberlo scan [OPTIONS] LOG ...\n\n"));
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
        {{"p.sas", "batch", "q.sas"}, "batch: must be the first argument"},
        {{"batch"}, "no program"},
        {{"batch", "--check", "a"}, "--check"},
        {{"batch", "-j", "1025", "a"}, "--jobs 1025: expected 1 to 1024"},
        {{"batch", "-j", "x", "a"}, "--jobs x: expected 1 to 1024"},
        {{"batch", "--out", "", "a"}, "--out: expected a folder name"},
        {{"batch", "--shard", "3", "a"}, "--shard 3"},
        {{"p.sas", "--remote", ""}, "--remote: no host; expected [USER@]HOST[:PORT]"},
        {{"p.sas", "--remote", "h:65536"}, "--remote h:65536: the port is not a number from 1 to 65535"},
        {{"p.sas", "--remote", "-oProxyCommand=x"}, "--remote -oProxyCommand=x: the host starts with -"},
        {{"p.sas", "--remote", "h", "--connect-timeout", "0"}, "--connect-timeout 0: expected 1 to 86400"},
        {{"p.sas", "--remote", "h", "--ssh-option", "-p 22"}, "--ssh-option -p 22: expected an ssh option as"},
        {{"p.sas", "--remote", "h", "--send", "no/such/file"}, "--send no/such/file: no such file or folder"},
        {{"p.sas", "--send", "."}, "--send: only for a remote run"},
        {{"p.sas", "--remote", "h", "--report"}, "--report: the debug report is of a local CodeRunner"},
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

TEST(CommandLineParser, BatchTakesItsOwnOptionsAndThoseOfEverySession) {
    std::vector<const char*> argv{"tamberlo",      "batch",      "--recursive", "-j",       "3",      "--shard",
                                  "2/3",           "--sas-root", "root",        "--config", "my.cfg", "--raw",
                                  "--no-formchar", "--timeout",  "2.5",         "--out",    "out",    "--junit",
                                  "j.xml",         "--json",     "r.json",      "a.sas",    "folder"};
    const CommandLineParser::Outcome outcome = CommandLineParser::Parse(static_cast<int>(argv.size()), argv.data(), 7);
    ASSERT_EQ(outcome.action, CommandLineParser::Action::RunBatch);
    const BatchOptions& options = outcome.batch;
    EXPECT_EQ(options.programs, (std::vector<std::string>{"a.sas", "folder"}));
    EXPECT_TRUE(options.recursive && options.raw && options.noFormChar);
    EXPECT_EQ(options.jobs, 3u);
    ASSERT_TRUE(options.shard);
    EXPECT_EQ(options.shard->Text(), "2/3");
    EXPECT_EQ(options.sasRoot, "root");
    EXPECT_EQ(options.configFile, "my.cfg");
    EXPECT_EQ(options.timeout, 2500ms);
    EXPECT_EQ(options.outDir, "out");
    EXPECT_EQ(options.junitFile, "j.xml");
    EXPECT_EQ(options.jsonFile, "r.json");

    // Without -j, the default given; without the others, nothing.
    std::vector<const char*> plain{"tamberlo", "batch", "a.sas"};
    const BatchOptions defaults = CommandLineParser::Parse(static_cast<int>(plain.size()), plain.data(), 7).batch;
    EXPECT_EQ(defaults.jobs, 7u);
    EXPECT_FALSE(defaults.recursive || defaults.raw || defaults.noFormChar);
    EXPECT_FALSE(defaults.shard || defaults.timeout || defaults.outDir || defaults.junitFile || defaults.jsonFile);
    // After "--" even "batch" is a program file of a single run.
    const CommandLineParser::Outcome file = Parse({"--", "batch"});
    EXPECT_EQ(file.action, CommandLineParser::Action::Run);
    EXPECT_EQ(file.options.program, (std::vector<ProgramPiece>{{Kind::File, "batch"}}));
}

TEST(CommandLineParser, TimeoutsRoundUpToWholeMilliseconds) {
    EXPECT_EQ(ParseTimeout("30"), 30000ms);
    EXPECT_EQ(ParseTimeout("0.5"), 500ms);
    EXPECT_EQ(ParseTimeout("0.0001"), 1ms);
    EXPECT_EQ(ParseTimeout("2.5"), 2500ms);
    EXPECT_THAT(UsageMessage({"p.sas", "--timeout", ""}), HasSubstr("--timeout"));
}
