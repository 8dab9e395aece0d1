// The tamberlo command run for real against the SAS stand-in, one folder per
// test: the standard streams, the exit status and what is left on disk.

#include "host/SessionEncoding.h"
#include "ChildProcess.h"
#include "CommandTest.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <chrono>
#include <csignal>
#include <thread>

using namespace tamberlo;
using testing::AllOf;
using testing::EndsWith;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::StartsWith;

namespace {

namespace fs = std::filesystem;

using test::ListingPage;

const std::string& tamberloProgram = test::CommandTest::CommandPath();
const std::string& standInRoot = test::CommandTest::StandInRoot();

// A data step writing `line` to the listing.
std::string PrintStep(const std::string& line) { return "data _null_; file print; put '" + line + "'; run;"; }

// The body of one section of a debug report.
std::string ReportSection(const std::string& report, const std::string& heading, const std::string& next) {
    const std::string start = heading + "\r\n" + std::string(heading.size(), '-') + "\r\n";
    const std::size_t from = report.find(start);
    const std::size_t to = report.find("\r\n\r\n" + next + "\r\n", from);
    if (from == std::string::npos || to == std::string::npos) {
        ADD_FAILURE() << "no section " << heading << " before " << next;
        return {};
    }
    return report.substr(from + start.size(), to - from - start.size());
}

using test::Occurrences;

// Every test checks at tear-down that no run left its program, log, listing
// or put files in the temporary folder.
class TamberloCommand : public test::CommandTest {};

}  // namespace

TEST_F(TamberloCommand, PrintsTheListingOnStandardOutputAndTheLogOnStandardError) {
    const test::ToolResult result = Run({"-e", PrintStep("hello")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, ListingPage(1, {"hello"}));
    EXPECT_THAT(result.err, StartsWith("1          options formchar='|-++++++++++=|-/|<>*';\r\n"));
    EXPECT_THAT(result.err, HasSubstr("          data _null_; file print; put 'hello'; run;\r\n"));
    EXPECT_THAT(result.err, HasSubstr("\r\nNOTE: The SAS System used:\r\n"));
}

TEST_F(TamberloCommand, JoinsFilesTextsAndStandardInputInCommandLineOrder) {
    test::WriteFile(Work("stored.sas"), PrintStep("from-sas-file") + "\r\n");
    test::WriteFile(Work("notes.txt"), PrintStep("from-txt-file"));
    const std::string standardInput = PrintStep("from-stdin") + "\r\n";
    const test::ToolResult result =
        Run({"--report", "-", "stored.sas", "-e", PrintStep("from-e"), "notes.txt"}, standardInput);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The stored program is appended as stored, the rest as text with a line
    // break after each; standard input keeps its CR LF.
    EXPECT_EQ(ReportSection(result.out, "SASCode", "Log"), standardInput + "\r\n" + PrintStep("from-sas-file") +
                                                               "\r\n" + PrintStep("from-e") + "\r\n" +
                                                               PrintStep("from-txt-file") + "\r\n");
    EXPECT_EQ(ReportSection(result.out, "Lst", "# PutFiles"),
              ListingPage(1, {"from-stdin"}) + ListingPage(2, {"from-sas-file"}) + ListingPage(3, {"from-e"}) +
                  ListingPage(4, {"from-txt-file"}));
}

TEST_F(TamberloCommand, StandardInputAndOutputPassBytesUnchanged) {
    // Line feeds alone in, CR LF out: a text-mode stream would change both.
    const test::ToolResult result = Run({"--report", "-"}, "data _null_;\nfile print;\nput 'a';\nrun;\n");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReportSection(result.out, "SASCode", "Log"), "data _null_;\nfile print;\nput 'a';\nrun;\n\r\n");
    EXPECT_EQ(ReportSection(result.out, "Lst", "# PutFiles"), ListingPage(1, {"a"}));
}

TEST_F(TamberloCommand, RawShowsControlCharactersAsSASWroteThem) {
    const std::string step = PrintStep("a\tb");
    EXPECT_EQ(Run({"-e", step}).out, ListingPage(1, {"a%9b"}));
    EXPECT_EQ(Run({"--raw", "-e", step}).out, ListingPage(1, {"a\tb"}, true));
}

TEST_F(TamberloCommand, NoFormcharLeavesTheOptionsStatementOut) {
    const std::string withFormchar = Run({"-e", PrintStep("x")}).err;
    const std::string without = Run({"--no-formchar", "-e", PrintStep("x")}).err;
    EXPECT_THAT(withFormchar, HasSubstr("options formchar="));
    EXPECT_THAT(without, Not(HasSubstr("formchar")));
    EXPECT_THAT(without, StartsWith("1          " + PrintStep("x") + "\r\n"));
}

TEST_F(TamberloCommand, LogAndListingGoWhereTheyAreSent) {
    const test::ToolResult toFiles = Run({"--log", "run.log", "--lst", "run.lst", "-e", PrintStep("x")});
    EXPECT_EQ(toFiles.exitCode, 0);
    EXPECT_THAT(toFiles.out, IsEmpty());
    EXPECT_THAT(toFiles.err, IsEmpty());
    EXPECT_EQ(test::ReadFile(Work("run.lst")), ListingPage(1, {"x"}));
    const std::string log = test::ReadFile(Work("run.log"));
    EXPECT_THAT(log, StartsWith("1          options formchar="));

    // "-" sends the log to standard output, ahead of the listing.
    const test::ToolResult toOutput = Run({"--log", "-", "-e", PrintStep("x")});
    EXPECT_THAT(toOutput.err, IsEmpty());
    EXPECT_THAT(toOutput.out, StartsWith("1          options formchar="));
    EXPECT_THAT(toOutput.out, EndsWith("\r\n\r\n" + ListingPage(1, {"x"})));
}

TEST_F(TamberloCommand, PutDirGetsOneFilePerPutFileOfTheRun) {
    const test::ToolResult result =
        Run({"--put-dir", "out/put", "-e", "data _null_; file _put1; put 'one'; file _put3; put 'three' _n_; run;"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::ListFolder(Work("out/put")), (std::vector<std::string>{"_PUT1.txt", "_PUT3.txt"}));
    EXPECT_EQ(test::ReadFile(Work("out/put/_PUT1.txt")), "one\r\n");
    EXPECT_EQ(test::ReadFile(Work("out/put/_PUT3.txt")), "three 1\r\n");
    EXPECT_THAT(result.out, IsEmpty());  // no listing: nothing was printed
}

// Put files are data: --put-dir copies them as SAS wrote them, with or
// without --raw; --json shows their text cleaned unless --raw.
TEST_F(TamberloCommand, PutDirCopiesPutFilesByteForByte) {
    test::WriteFile(Work("tabs.sas"), "data _null_; file _put1; put 'a\tb\fc'; run;");
    for (const bool raw : {false, true}) {
        SCOPED_TRACE(raw ? "--raw" : "cleaned");
        std::vector<std::string> arguments{"--json", "--put-dir", "out", "tabs.sas"};
        if (raw) arguments.insert(arguments.begin(), "--raw");
        const test::ToolResult result = Run(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(test::ReadFile(Work("out/_PUT1.txt")), "a\tb\fc\r\n");
        const nlohmann::json json = nlohmann::json::parse(result.out);
        EXPECT_EQ(json.at("putFiles").at(0).at("text"), raw ? "a\tb\fc\r\n" : "a%9b%12c\r\n");
    }
}

// SAS's own exit code: in --json, on standard error when it is not 0, and
// with --check as the worse of it and the log's verdict.
TEST_F(TamberloCommand, SASsExitCodeIsShownAndCountsForCheck) {
#ifdef _WIN32
    constexpr int code300 = 300;
#else
    constexpr int code300 = 300 & 255;  // an exit code is 8 bits on POSIX
#endif
    struct Case {
        const char* program;
        const char* forcedCode;  // TAMBERLO_STANDIN_EXIT, or ""
        int sasExitCode;
        int plainStatus;  // without --check, with --json and --report too
        int checkStatus;
    };
    const Case cases[] = {
        {"%put fine;", "", 0, 0, 0},
        {"filename nothing;", "", 1, 1, 1},
        {"foo;", "", 2, 2, 2},
        {"data _null_; abort; run;", "", 3, 2, 2},
        {"data _null_; abort return; run;", "", 4, 2, 2},
        {"data _null_; abort abend; run;", "", 5, 2, 2},
        {"data _null_; abort return 300; run;", "", code300, 2, 2},
        // A clean log does not hide SAS's code, nor a clean code the log.
        {"%put fine;", "1", 1, 1, 1},
        {"%put fine;", "3", 3, 2, 2},
        {"filename nothing;", "0", 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.program) + " exit " + c.forcedCode);
        const test::ScopedEnvironment forced("TAMBERLO_STANDIN_EXIT", c.forcedCode);
        const test::ToolResult json = Run({"--json", "-e", c.program});
        EXPECT_EQ(json.exitCode, c.plainStatus);
        EXPECT_EQ(nlohmann::json::parse(json.out).at("sasExitCode"), c.sasExitCode);
        EXPECT_EQ(Run({"--report", "-e", c.program}).exitCode, c.plainStatus);
        EXPECT_THAT(json.err, IsEmpty());

        const test::ToolResult plain = Run({"-e", c.program});
        EXPECT_EQ(plain.exitCode, c.plainStatus);
        const std::string note = "tamberlo: SAS ended with exit code " + std::to_string(c.sasExitCode) + "\n";
        if (c.sasExitCode == 0) {
            EXPECT_THAT(plain.err, Not(HasSubstr("tamberlo:")));
        } else {
            EXPECT_THAT(plain.err, EndsWith("\r\n" + note));  // after the log
        }

        EXPECT_EQ(Run({"--check", "-e", c.program}).exitCode, c.checkStatus);
    }
}

TEST_F(TamberloCommand, JsonHoldsTheWholeRun) {
    const test::ToolResult result = Run({"--json", "--log", "run.log", "--lst", "run.lst", "-e",
                                         "data _null_; file print; put 'ERROR: listed'; file _put2; put 'two'; run;",
                                         "-e", "filename nothing;", "-e", "foo;"});
    ASSERT_EQ(result.exitCode, 2) << result.err;
    EXPECT_THAT(result.err, IsEmpty());
    const nlohmann::json json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json.size(), 10u);
    EXPECT_EQ(json.at("parameters"), nlohmann::json::object());
    EXPECT_EQ(json.at("status"), "OK");
    EXPECT_EQ(json.at("encoding"), tamberlo::SessionEncoding::PlatformDefault().Name());
    EXPECT_EQ(json.at("undecodableBytes"), 0);
    EXPECT_EQ(json.at("sasExitCode"), 2);
    EXPECT_EQ(json.at("log"), test::ReadFile(Work("run.log")));
    EXPECT_EQ(json.at("listing"), ListingPage(1, {"ERROR: listed"}));
    EXPECT_EQ(json.at("listing"), test::ReadFile(Work("run.lst")));
    EXPECT_EQ(json.at("errorLines"), 2);  // ERROR 180-322: and "ERROR: Errors printed on page 1."
    EXPECT_EQ(json.at("warningLines"), 1);
    ASSERT_EQ(json.at("putFiles").size(), 1u);
    const nlohmann::json& putFile = json.at("putFiles").at(0);
    EXPECT_EQ(putFile.at("key"), "_PUT2");
    EXPECT_EQ(putFile.at("text"), "two\r\n");
    // The put file lived in the temporary folder and went with the run.
    const std::string path = putFile.at("path");
    EXPECT_THAT(path, StartsWith(Temp()));
    EXPECT_FALSE(test::Exists(path));
    EXPECT_THAT(std::string(json.at("log")), HasSubstr("Filename=" + path + ","));
}

TEST_F(TamberloCommand, CheckExitsLikeSAS) {
    // Clean, an error line, a warning line.
    EXPECT_EQ(Run({"--check", "-e", PrintStep("fine")}).exitCode, 0);
    EXPECT_EQ(Run({"--check", "-e", "foo;"}).exitCode, 2);
    EXPECT_EQ(Run({"--check", "-e", "filename nothing;"}).exitCode, 1);
    EXPECT_EQ(Run({"--check", "-e", "filename nothing;", "-e", "foo;"}).exitCode, 2);
    // Without --check SAS's own code alone counts, whatever the log says.
    EXPECT_EQ(Run({"-e", "foo;"}).exitCode, 2);
    EXPECT_EQ(Run({"-e", "%put ERROR: only a line;"}).exitCode, 0);
    // The site's rules, as for a batch: an ignored warning leaves SAS's exit
    // code 1 unexplained, so it no longer counts.
    const std::string uninitialized = "data _null_; put total; run;";
    EXPECT_EQ(Run({"--check", "--ignore", "^WARNING: No logical", "-e", "filename nothing;"}).exitCode, 0);
    EXPECT_EQ(Run({"--check", "-e", uninitialized}).exitCode, 0);
    EXPECT_EQ(Run({"--check", "--strict", "-e", uninitialized}).exitCode, 2);
    EXPECT_EQ(Run({"--check", "--fail-on", "uninit", "--fail-on", "x", "-e", uninitialized}).exitCode, 2);
    const test::ToolResult bad = Run({"--check", "--ignore", "[z-a]", "-e", uninitialized});
    EXPECT_EQ(bad.exitCode, 64);
    EXPECT_EQ(bad.err,
              "tamberlo: --ignore [z-a]: not a valid regular expression (RE2's syntax: no look-around, no "
              "back-references): invalid character class range: z-a\n");
    // Ignored lines explain exit codes 1 and 2 only, never an ABORT's 5.
    EXPECT_EQ(Run({"--check", "--ignore", "^ERROR", "-e", "data _null_; abort abend; run;"}).exitCode, 2);
    EXPECT_EQ(Run({"--check", "--ignore", "^ERROR", "-e", "foo;"}).exitCode, 0);
    // An unset shell variable would otherwise ignore every line.
    EXPECT_EQ(Run({"--check", "--ignore", "", "-e", uninitialized}).exitCode, 64);
}

TEST_F(TamberloCommand, CheckAnnotatesTheRunAsItsVerdictSays) {
    test::ScopedEnvironment actions("GITHUB_ACTIONS", "true");
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", Work("summary.md"));
    struct Case {
        std::string program;
        int exitCode;
        std::string annotation;  // on standard output
        std::string row;         // of the step summary
    };
    const std::vector<Case> cases = {
        // SAS did not run: an error, never clean.
        {"", 3, "::error title=error::ERROR: No command supplied.\n",
         "1 programs: 0 clean, 0 warnings, 0 failed, 1 error, 0 time limit, 0 not run\n\n"
         "| program | verdict | first problem |\n| --- | --- | --- |\n"
         "| the program | error | ERROR: No command supplied. |\n"},
        // A cell's text is escaped as the reports escape theirs.
        {"%put ERROR: say \"hi\" <b>|`x`;", 2, "::error title=ERROR::ERROR: say \"hi\" <b>|`x`\n",
         "| the program | failed | ERROR: say &quot;hi&quot; &lt;b&gt;\\|\\`x\\` |\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.program);
        WriteWork("summary.md", "");
        const test::ToolResult result = Run({"--check", "--log", Work("log"), "-e", c.program});
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_THAT(result.out, HasSubstr(c.annotation));
        EXPECT_THAT(test::ReadFile(Work("summary.md")), HasSubstr(c.row));
    }
}

// Rules that could not do what they say are refused before anything runs,
// in every form: a pattern that the empty string matches finds every line,
// and a --fail-on name that is taken would merge two rules in the reports.
TEST_F(TamberloCommand, RulesThatCannotDoAreRefusedInEveryForm) {
    WriteWork("p.sas", "foo;\r\n");
    WriteWork("p.log", "ERROR: x\r\n");
    const std::string needsACharacter =
        ": the pattern matches the empty string, and so every line; give a regular expression that needs at least "
        "one character (RE2's syntax: no look-around, no back-references)";
    const std::string builtIn = " is a built-in rule's id; give the rule a name of its own";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--ignore", "^"}, "--ignore ^" + needsACharacter},
        {{"--ignore", "$"}, "--ignore $" + needsACharacter},
        {{"--ignore", "ERROR", "--ignore", ".*"}, "--ignore .*" + needsACharacter},
        {{"--fail-on", "x?"}, "--fail-on x?" + needsACharacter},
        {{"--fail-on", "empty=()"}, "--fail-on ()" + needsACharacter},
        {{"--fail-on", "ERROR=boom"}, "--fail-on ERROR=boom: the name ERROR" + builtIn},
        {{"--fail-on", "strict-uninitialized=other"},
         "--fail-on strict-uninitialized=other: the name strict-uninitialized" + builtIn},
        {{"--fail-on", "sas180-322=x"}, "--fail-on sas180-322=x: the name sas180-322" + builtIn},
        {{"--fail-on", "fail-on-2=x"}, "--fail-on fail-on-2=x: the name fail-on-2" + builtIn},
        {{"--fail-on", "exit-code=x"}, "--fail-on exit-code=x: the name exit-code" + builtIn},
        {{"--fail-on", "mine=a", "--fail-on", "b", "--fail-on", "Mine=c"},
         "--fail-on Mine=c: the name Mine is given to another rule; give each its own"},
    };
    for (const auto& [rules, message] : cases) {
        std::vector<std::string> single = rules;
        single.insert(single.end(), {"--check", "p.sas"});
        std::vector<std::string> batch = rules;
        batch.push_back("p.sas");
        std::vector<std::string> scan = rules;
        scan.push_back("p.log");
        for (const test::ToolResult& result : {Run(single), Batch(batch), Scan(scan)}) {
            EXPECT_EQ(result.exitCode, 64) << testing::PrintToString(rules);
            EXPECT_EQ(result.err, "tamberlo: " + message + "\n");
            EXPECT_EQ(result.out, "");
        }
    }
    // A pattern with a "=" of its own: after a name, or escaped.
    EXPECT_EQ(Run({"--check", "--fail-on", "mine=rc=4", "-e", "%put rc=4;"}).exitCode, 2);
    EXPECT_EQ(Run({"--check", "--fail-on", "rc\\=4", "-e", "%put rc=4;"}).exitCode, 2);
}

// SAS's exit code is set aside only where the ignored lines explain it and
// the log is known whole: SAS's closing NOTE comes last. A log cut short (a
// full disk) may have lost the very line the code stands for.
TEST_F(TamberloCommand, AnExitCodeStandsWhenTheLogIsNotWhole) {
    WriteWork("p.sas", "%put hi;\r\n");
    const std::string closing = "\r\nNOTE: The SAS System used:\r\n      real time           0.01 seconds\r\n\r\n";
    const std::string ignored = "ERROR: harmless\r\nWARNING: harmless\r\n";
    const struct {
        std::string log;
        const char* code;
        int status;
    } cases[] = {
        {ignored + closing, "2", 0},
        {ignored + closing, "1", 0},
        {"\f" + ignored + "NOTE: more\r\n" + closing, "2", 0},
        // Cut before the closing NOTE, or with a message after it.
        {ignored + std::string(3000, 'x') + "\r\n", "2", 2},
        {ignored + "\r\nNOTE: The SAS System used:", "2", 0},
        {ignored + "\r\nNOTE: The SAS System use", "2", 2},
        {ignored, "1", 1},
        {closing + ignored, "2", 2},
        {closing + "NOTE: a later message\r\n", "1", 1},
    };
    for (const auto& c : cases) {
        const test::ScopedEnvironment log("TAMBERLO_STANDIN_LOG", c.log);
        const test::ScopedEnvironment code("TAMBERLO_STANDIN_EXIT", c.code);
        EXPECT_EQ(Run({"--check", "--ignore", "harmless", "p.sas"}).exitCode, c.status) << c.log << c.code;
        EXPECT_EQ(Batch({"--ignore", "harmless", "p.sas"}).exitCode, c.status) << c.log << c.code;
    }
}

TEST_F(TamberloCommand, CheckReadsErrorLinesNotErrorWords) {
    // The log echoes the statement, so "ERROR:" stands inside a source line;
    // the text itself goes to the listing.
    const test::ToolResult echoed = Run({"--check", "-e", PrintStep("ERROR: not really")});
    EXPECT_EQ(echoed.exitCode, 0);
    EXPECT_THAT(echoed.err, HasSubstr("put 'ERROR: not really'"));
    EXPECT_EQ(echoed.out, ListingPage(1, {"ERROR: not really"}));

    const test::ToolResult invalid = Run({"--check", "-e", "foo;"});
    EXPECT_EQ(invalid.exitCode, 2);
    EXPECT_THAT(invalid.err, HasSubstr("\r\nERROR 180-322: Statement is not valid"));
}

TEST_F(TamberloCommand, ReportAloneShowsAFreshObject) {
    const std::string empty = "\r\n\r\n";
    const std::string expected =
        "-----------------\r\nDebug Information\r\n-----------------\r\n\r\n"
        "Last Execute Return Value\r\n-------------------------\r\n" +
        empty + "SASCode\r\n-------\r\n" + empty + "Log\r\n---\r\n" + empty + "Lst\r\n---\r\n" + empty +
        "# PutFiles\r\n----------\r\n0\r\n\r\n"
        "CleanOutput\r\n-----------\r\nTrue\r\n\r\n"
        "SafeFormChar (options formchar='|-++++++++++=|-/|<>*';)\r\n" +
        std::string(55, '-') + "\r\nTrue\r\n\r\n";
    const test::ToolResult fresh = RunBare({"--report"});
    EXPECT_EQ(fresh.exitCode, 0);
    EXPECT_EQ(fresh.out, expected);
    EXPECT_THAT(fresh.err, IsEmpty());

    const test::ToolResult switchedOff = RunBare({"--report", "--raw", "--no-formchar"});
    EXPECT_THAT(switchedOff.out, HasSubstr("CleanOutput\r\n-----------\r\nFalse\r\n"));
    EXPECT_THAT(switchedOff.out, EndsWith(std::string(55, '-') + "\r\nFalse\r\n\r\n"));
}

TEST_F(TamberloCommand, ReportAfterARunReplacesTheListing) {
    const test::ToolResult result = Run({"--report", "-e", "data _null_; file _put1; put 'p'; run;"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(result.out, StartsWith("-----------------\r\nDebug Information\r\n"));
    EXPECT_EQ(ReportSection(result.out, "Last Execute Return Value", "SASCode"), "OK");
    EXPECT_THAT(result.out, HasSubstr("# PutFiles\r\n----------\r\n1\r\n\r\n_PUT1 ("));
    EXPECT_THAT(result.out, HasSubstr(")\r\n-----\r\np\r\n\r\n\r\nCleanOutput"));
}

TEST_F(TamberloCommand, TimeLimitStopsSASAndLeavesNothingBehind) {
    test::ScopedEnvironment sleep("TAMBERLO_STANDIN_SLEEP", "30");
    // The put file exists while SAS runs; TearDown checks that it went too.
    const test::ToolResult result = Run({"--timeout", "1", "-e", "data _null_; file _put1; put 'x'; run;"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_THAT(result.err, StartsWith("tamberlo: Execute method: "));
    EXPECT_EQ(Occurrences(result.err, "\n"), 1u) << result.err;
    EXPECT_THAT(result.out, IsEmpty());
    EXPECT_FALSE(result.leftProcesses);
}

TEST_F(TamberloCommand, TimeLimitWithJsonGivesAnErrorObject) {
    test::ScopedEnvironment sleep("TAMBERLO_STANDIN_SLEEP", "30");
    const test::ToolResult result = Run({"--json", "--timeout", "0.5", "-e", PrintStep("x")});
    EXPECT_EQ(result.exitCode, 4);
    const nlohmann::json json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json.at("error").at("source"), "Execute method");
    EXPECT_THAT(result.err, StartsWith("tamberlo: Execute method: "));
}

TEST_F(TamberloCommand, AnErrorRaisedByTamberloExitsWithThree) {
    fs::create_directory(Work("empty-root"));
    const std::string emptyRoot = Work("empty-root");
    const test::ToolResult plain = RunBare({"--sas-root", emptyRoot, "-e", PrintStep("x")});
    EXPECT_EQ(plain.exitCode, 3);
    EXPECT_THAT(plain.err, StartsWith("tamberlo: Execute method: The SAS executable '" + emptyRoot));
    EXPECT_THAT(plain.out, IsEmpty());

    const test::ToolResult json = RunBare({"--json", "--sas-root", emptyRoot, "-e", PrintStep("x")});
    EXPECT_EQ(json.exitCode, 3);
    const nlohmann::json error = nlohmann::json::parse(json.out).at("error");
    EXPECT_EQ(error.at("number"), 1);
    EXPECT_EQ(error.at("source"), "Execute method");
    EXPECT_EQ("tamberlo: Execute method: " + std::string(error.at("description")) + "\n", json.err);
}

#ifndef _WIN32
// What the system refused a run is said in its own words, in the single run
// and in the batch's table and reports: a process limit that leaves none for
// the guard's reaper or for SAS is not an exit code that "could not be
// collected", and a temporary folder the put files cannot be made in is
// named with the reason. Only a user of its own, started by root, can be
// held to a limit exactly (root is bound by none).
TEST_F(TamberloCommand, WhatTheSystemRefusesIsSaidInItsOwnWords) {
    if (!CanRunAsStranger()) GTEST_SKIP() << "needs root and setpriv";
    WriteWork("p.sas", "data _null_; file _PUT1; put 'x'; run;\n");
    const std::string noProcess = std::string("could not be started: ") + std::strerror(EAGAIN);
    const std::string noPutFile = "Tamberlo: Path/File access error: the put file _PUT1 could not be made in '" +
                                  Temp() + "': " + std::strerror(EACCES);
    const struct {
        const char* name;
        std::vector<std::string> launcher;
        fs::perms temp;
        std::vector<std::string> arguments;
        std::string problem;  // in the one line on standard error, or the batch's
        bool reports;         // the batch writes JUnit and JSON (it needs a folder in Temp())
    } cases[] = {
        // The guard starts; its reaper is refused (two processes), or SAS is (three).
        {"no reaper", {"/usr/bin/prlimit", "--nproc=2"}, fs::perms::all, {"-e", "x;"}, noProcess, false},
        {"no SAS", {"/usr/bin/prlimit", "--nproc=3"}, fs::perms::all, {"-e", "x;"}, noProcess, false},
        // The batch's threads count too: at three none of its runs gets a SAS.
        {"batch", {"/usr/bin/prlimit", "--nproc=3"}, fs::perms::all, {"batch", "-j", "1", "p.sas"}, noProcess, true},
        {"read-only temporary folder",
         {},
         fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec,
         {"p.sas"},
         noPutFile,
         false},
        {"read-only temporary folder, batch",
         {},
         fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec,
         {"batch", "p.sas"},
         noPutFile,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(Temp(), c.temp);
        std::vector<std::string> arguments = c.arguments;
        const bool batch = arguments.front() == "batch";
        arguments.insert(arguments.begin() + (batch ? 1 : 0), {"--sas-root", StandInRoot()});
        if (c.reports) arguments.insert(arguments.end(), {"--junit", "b.xml", "--json", "b.json"});
        const test::ToolResult result = RunAsStranger(c.launcher, arguments);
        fs::permissions(Temp(), fs::perms::owner_all);
        EXPECT_EQ(result.exitCode, 3) << result.err;
        EXPECT_THAT(result.out + result.err, Not(HasSubstr("could not be collected")));
        if (!batch) {
            EXPECT_THAT(result.err, AllOf(StartsWith("tamberlo: "), HasSubstr(c.problem), EndsWith("\n")));
            EXPECT_EQ(Occurrences(result.err, "\n"), 1u) << result.err;
            continue;
        }
        EXPECT_THAT(result.out, HasSubstr("\np: "));
        EXPECT_THAT(result.out.substr(result.out.find("\np: ")), HasSubstr(c.problem));
        if (!c.reports) continue;
        const std::string problem =
            nlohmann::json::parse(test::ReadFile(Work("b.json"))).at("programs").at(0).at("problem");
        EXPECT_THAT(problem, AllOf(StartsWith("Execute method: The SAS executable '"), EndsWith(c.problem)));
        EXPECT_THAT(test::ReadFile(Work("b.xml")), HasSubstr("<error message=\"" + problem + "\""));
    }
}
#endif

TEST_F(TamberloCommand, AnEmptyProgramExitsWithThree) {
    const test::ToolResult result = Run({"-e", ""});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.err, "tamberlo: ERROR: No command supplied.\n");
    EXPECT_THAT(result.out, IsEmpty());

    const test::ToolResult json = Run({"--json", "-"});
    EXPECT_EQ(json.exitCode, 3);
    EXPECT_EQ(nlohmann::json::parse(json.out).at("status"), "ERROR: No command supplied.");
}

TEST_F(TamberloCommand, FollowShowsTheLogOnceOnStandardError) {
    const test::ToolResult result = Run({"--follow", "-e", PrintStep("x")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(Occurrences(result.err, "NOTE: The SAS System used:"), 1u);
    EXPECT_THAT(result.err, StartsWith("1          options formchar="));
    EXPECT_EQ(result.out, ListingPage(1, {"x"}));

    // With a log file the followed log and the file hold the same text.
    const test::ToolResult toFile = Run({"--follow", "--log", "run.log", "-e", PrintStep("x")});
    EXPECT_EQ(toFile.err, test::ReadFile(Work("run.log")));
}

TEST_F(TamberloCommand, ConfigFileIsHandedToSAS) {
    test::WriteFile(Work("my.cfg"), "-nologo\r\n");
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    EXPECT_EQ(Run({"--config", Work("my.cfg"), "-e", PrintStep("x")}).exitCode, 0);
    EXPECT_THAT(test::ReadFile(Work("record.txt")), HasSubstr(Work("my.cfg")));

    const test::ToolResult missing = Run({"--config", Work("missing.cfg"), "-e", PrintStep("x")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_THAT(missing.err, StartsWith("tamberlo: Execute method: "));
}

TEST_F(TamberloCommand, WithoutSasRootTheStandardFoldersAreSearched) {
#ifdef _WIN32
    // The test prefix has the stand-in installed in the standard folder.
    const test::ToolResult result = RunBare({"-e", PrintStep("found")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, ListingPage(1, {"found"}));
#else
    // Neither on PATH nor in the standard folders: the search says where it looked.
    fs::create_directory(Work("bin"));
    test::ScopedEnvironment path("PATH", Work("bin"));
    const test::ToolResult missing = RunBare({"-e", PrintStep("found")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_THAT(missing.err, StartsWith("tamberlo: Execute method: The SAS executable (sas) could not be found on "
                                        "PATH or in /usr/local/SASHome/SASFoundation/9.4/, "));

    // A link to the stand-in on PATH.
    fs::create_symlink(standInRoot + "/sas", Work("bin/sas"));
    const test::ToolResult result = RunBare({"-e", PrintStep("found")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, ListingPage(1, {"found"}));
#endif
}

#ifndef _WIN32
// SAS for UNIX's own layout: /usr/local/bin/sas -> .../9.4/sas -> bin/sas_en,
// sasv9.cfg -> nls/en/sasv9.cfg. The root is the first folder on the chain
// of links holding both sas and sasv9.cfg; a sas on PATH that leads to no
// such folder is passed over.
TEST_F(TamberloCommand, SASForUnixIsFoundThroughItsOwnLinks) {
    const std::string home = Work("SASHome/SASFoundation/9.4/");
    fs::create_directories(home + "bin");
    fs::create_directories(home + "nls/en");
    fs::create_directories(Work("usr-local-bin"));
    fs::create_directories(Work("lonely"));
    fs::create_symlink(standInRoot + "/sas", home + "bin/sas_en");
    fs::create_symlink("bin/sas_en", home + "sas");
    fs::copy_file(standInRoot + "/sasv9.cfg", home + "nls/en/sasv9.cfg");
    fs::create_symlink("nls/en/sasv9.cfg", home + "sasv9.cfg");
    fs::create_symlink(home + "sas", Work("usr-local-bin/sas"));
    fs::copy_file(standInRoot + "/sas", Work("lonely/sas"));

    test::ScopedEnvironment path("PATH", Work("lonely") + ":" + Work("usr-local-bin"));
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    const test::ToolResult result = RunBare({"-e", PrintStep("found")});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, ListingPage(1, {"found"}));
    EXPECT_THAT(test::ReadFile(Work("record.txt")),
                StartsWith(home + "sas\n-nologo\n-noterminal\n-config\n" + home + "sasv9.cfg\n"));
}
#endif

#ifndef _WIN32
// SAS for UNIX refuses a configuration file with an option it does not know,
// and says why only on its console: that text reaches standard error and the
// JSON document, never the listing's place on standard output.
TEST_F(TamberloCommand, TheConsoleOfASASThatDidNotStartIsShownApart) {
    test::WriteFile(Work("windows.cfg"), "-icon\n");
    const std::string console = "ERROR: Unrecognized SAS option name, ICON, in the configuration file " +
                                Work("windows.cfg") + ".\nERROR: SAS did not start.\n";
    const test::ToolResult plain = Run({"--config", Work("windows.cfg"), "-e", PrintStep("x")});
    EXPECT_EQ(plain.out, "");
    EXPECT_EQ(plain.err, "tamberlo: SAS wrote on its console:\n" + console + "tamberlo: SAS ended with exit code 2\n");

    // The JSON document carries the exit code itself.
    const test::ToolResult json = Run({"--json", "--config", Work("windows.cfg"), "-e", PrintStep("x")});
    EXPECT_EQ(json.err, "tamberlo: SAS wrote on its console:\n" + console);
    const nlohmann::json document = nlohmann::json::parse(json.out);
    EXPECT_EQ(document.at("sasExitCode"), 2);
    EXPECT_EQ(document.at("console"), console);
    EXPECT_EQ(document.at("log"), "");

    // Only the last lines of a long console on standard error, all of it in JSON.
    std::string options;
    std::string refused;
    for (int i = 1; i <= 25; ++i) {
        options += "-opt" + std::to_string(i) + "\n";
        refused += "ERROR: Unrecognized SAS option name, OPT" + std::to_string(i) + ", in the configuration file " +
                   Work("long.cfg") + ".\n";
    }
    test::WriteFile(Work("long.cfg"), options);
    const test::ToolResult longer = Run({"--json", "--config", Work("long.cfg"), "-e", PrintStep("x")});
    EXPECT_EQ(nlohmann::json::parse(longer.out).at("console"), refused + "ERROR: SAS did not start.\n");
    const std::size_t seventh = refused.find("ERROR: Unrecognized SAS option name, OPT7,");
    EXPECT_EQ(longer.err, "tamberlo: SAS wrote on its console (the last 20 of 26 lines):\n" + refused.substr(seventh) +
                              "ERROR: SAS did not start.\n");

    // A run that went through shows no console and has none in JSON.
    const test::ToolResult fine = Run({"--json", "-e", PrintStep("x")});
    EXPECT_FALSE(nlohmann::json::parse(fine.out).contains("console"));
    EXPECT_EQ(fine.err, "");
}
#endif

#ifndef _WIN32
// An option SAS for UNIX does not know, given with --sas-option or in the
// configuration file, stops it before its log exists: the run fails, and what
// SAS said on its console is its first problem on standard error, in the
// batch's table and in every report, since it is the only reason a user gets.
TEST_F(TamberloCommand, AnOptionSASDoesNotKnowFailsTheRunWithTheConsoleAsItsFirstProblem) {
    WriteWork("p.sas", "data _null_; run;\n");
    WriteWork("site.cfg", "/* from another server */ -stimerr\n");
    const std::string inConfig =
        "ERROR: Unrecognized SAS option name, STIMERR, in the configuration file " + Work("site.cfg") + ".";
    const struct {
        std::vector<std::string> options;
        std::string console;  // its first line leads
    } cases[] = {
        {{"--sas-option=-stimerr"}, "ERROR: Unrecognized SAS option name, STIMERR.\n"},
        {{"--config", Work("site.cfg")}, inConfig + "\n"},
        {{"--config", Work("site.cfg"), "--sas-option=-Fancy"},
         inConfig + "\nERROR: Unrecognized SAS option name, FANCY.\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.options));
        const std::string console = c.console + "ERROR: SAS did not start.\n";
        const std::string first = console.substr(0, console.find('\n')) + " (SAS exit code 2)";

        std::vector<std::string> single = c.options;
        single.insert(single.end(), {"--junit", "single.xml", "-e", "data _null_; run;"});
        const test::ToolResult run = Run(single);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
                  "tamberlo: SAS wrote on its console:\n" + console + "tamberlo: SAS ended with exit code 2\n");
        EXPECT_THAT(test::ReadFile(Work("single.xml")), HasSubstr("<failure message=\"" + first + "\""));

        std::vector<std::string> batch = c.options;
        batch.insert(batch.end(), {"--json", "b.json", "--junit", "b.xml", "--sarif", "b.sarif", "p.sas"});
        const test::ToolResult ran = Batch(batch);
        EXPECT_EQ(ran.exitCode, 2);
        EXPECT_THAT(ran.out, HasSubstr("\np: " + first + "\n"));
        const nlohmann::json json = nlohmann::json::parse(test::ReadFile(Work("b.json")));
        EXPECT_EQ(json.at("programs").at(0).at("problem"), first);
        EXPECT_EQ(json.at("programs").at(0).at("sasExitCode"), 2);
        EXPECT_THAT(test::ReadFile(Work("b.xml")), HasSubstr("<failure message=\"" + first + "\""));
        const nlohmann::json sarif = nlohmann::json::parse(test::ReadFile(Work("b.sarif")));
        EXPECT_EQ(sarif.at("runs").at(0).at("results").at(0).at("message").at("text"), first);
    }
}
#endif

TEST_F(TamberloCommand, BadUsageExitsWith64AndOneLine) {
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "tamberlo: no program: name a .sas file, - for standard input, or give -e TEXT (see tamberlo --help)\n"},
        {{"--bogus", "-e", "x;"}, "tamberlo: The following argument was not expected: --bogus (see tamberlo --help)\n"},
        {{"--timeout", "soon", "-e", "x;"}, "tamberlo: --timeout soon: expected a positive number of seconds\n"},
        {{"missing.sas"}, "tamberlo: missing.sas: no such program file\n"},
        {{"-e", "x;", "missing.txt"}, "tamberlo: missing.txt: no such program file\n"},
        {{"--log", "no-folder/run.log", "-e", "x;"}, ""},
        {{"--json", "--report", "-e", "x;"}, ""},
        {{"--log", "same.txt", "--lst", "./same.txt", "-e", "x;"},
         "tamberlo: --lst ./same.txt: the same file as --log same.txt\n"},
        {{"--log", "p.sas", "p.sas"}, "tamberlo: --log p.sas: the same file as the program p.sas\n"},
        {{"--put-dir", "out", "out/_PUT1.txt"},
         "tamberlo: --put-dir out: a put file would be written over the program out/_PUT1.txt\n"},
    };
    WriteWork("p.sas", "data _null_; run;\n");
    WriteWork("out/_PUT1.txt", "data _null_; run;\n");
    for (const auto& [arguments, message] : cases) {
        const test::ToolResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 64) << result.err;
        if (!message.empty()) {
            EXPECT_EQ(result.err, message);
        }
        EXPECT_THAT(result.err, StartsWith("tamberlo: "));
        EXPECT_EQ(Occurrences(result.err, "\n"), 1u) << result.err;
        EXPECT_THAT(result.out, IsEmpty());
    }
    EXPECT_FALSE(test::Exists(Work("record.txt"))) << "SAS was started";
    EXPECT_EQ(test::ReadFile(Work("p.sas")), "data _null_; run;\n");
    EXPECT_FALSE(test::Exists(Work("same.txt")));
#ifndef _WIN32
    // A device holds nothing to lose: both texts may go there.
    EXPECT_EQ(Run({"--log", "/dev/null", "--lst", "/dev/null", "-e", "data _null_; run;"}).exitCode, 0);
#endif
}

TEST_F(TamberloCommand, HelpAndVersionGoToStandardOutput) {
    const test::ToolResult help = RunBare({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: tamberlo [OPTIONS] [PROGRAM ...]\n"));
    EXPECT_THAT(help.err, IsEmpty());
    const test::ToolResult version = RunBare({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("tamberlo [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << version.out;
}

#ifndef _WIN32
TEST_F(TamberloCommand, AnOutputThatCannotBeWrittenExitsWith74) {
    const test::ToolResult result = Run({"--lst", "/dev/full", "-e", PrintStep("x"), "--log", "run.log"});
    EXPECT_EQ(result.exitCode, 74);
    EXPECT_THAT(result.err, StartsWith("tamberlo: /dev/full: cannot write: "));
}
#endif

#ifndef _WIN32
namespace {

// True once the log of a run in `temp` (in the run's own folder) holds `text`.
bool RunLogHolds(const std::string& temp, const std::string& text) {
    for (const std::string& folder : test::ListFolder(temp)) {
        for (const std::string& name : test::ListFolder(temp + folder)) {
            if (name.rfind("tmpSASLog", 0) == 0 &&
                test::ReadFile(temp + folder + "/" + name).find(text) != std::string::npos)
                return true;
        }
    }
    return false;
}

// A site's `sas` in `folder`: a script that runs the stand-in as its child
// (no exec), with the stand-in's configuration beside it.
void WriteWrappedSAS(const std::string& folder) {
    fs::create_directory(folder);
    test::WriteFile(folder + "/sas", "#!/bin/sh\n\"" + standInRoot + "/sas\" \"$@\"\nexit $?\n");
    fs::permissions(folder + "/sas", fs::perms::owner_all);
    fs::copy_file(standInRoot + "/sasv9.cfg", folder + "/sasv9.cfg");
}

}  // namespace
#endif

#ifndef _WIN32
// A site's `sas` that starts SAS as its child (no exec), stopped at the time
// limit, by Ctrl-C and by a plain `kill` of tamberlo: the whole tree ends,
// SAS first gets its grace period to tidy up, nothing is left, and the log
// SAS had written so far is shown.
TEST_F(TamberloCommand, StoppingAWrappedSASEndsTheWholeTreeAfterItsGracePeriodAndShowsItsLog) {
    WriteWrappedSAS(Work("wrapped"));
    enum class Stop { TimeLimit, Interrupt, Kill };
    struct Case {
        const char* name;
        Stop stop;
        int exitCode;
        const char* message;
    } const cases[] = {
        {"time limit", Stop::TimeLimit, 4,
         "tamberlo: Execute method: SAS did not end within 2 seconds and was stopped.\n"},
        {"Ctrl-C", Stop::Interrupt, 130, "tamberlo: Execute method: SAS was stopped on request before it ended.\n"},
        {"kill", Stop::Kill, 130, "tamberlo: Execute method: SAS was stopped on request before it ended.\n"},
    };
    for (const Case& c : cases) {
        test::ChildLaunch launch;
        launch.arguments = {tamberloProgram,
                            "--sas-root",
                            Work("wrapped/"),
                            "--timeout",
                            c.stop == Stop::TimeLimit ? "2" : "60",
                            "-e",
                            "data _null_; put 'before the pause'; call sleep(30); run;"};
        launch.error = Work("stderr.txt");
        test::ChildProcess tamberlo(launch);
        if (c.stop != Stop::TimeLimit) {
            // Once SAS has logged its first line, that is, while it sleeps.
            bool sleeping = false;
            for (int wait = 0; wait < 400 && !sleeping; ++wait) {
                sleeping = RunLogHolds(Temp(), "before the pause");
                if (!sleeping) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            ASSERT_TRUE(sleeping) << c.name << ": SAS never logged";
            c.stop == Stop::Interrupt ? tamberlo.Interrupt() : tamberlo.Terminate();
        }
        const test::ChildResult ended = tamberlo.Wait();
        const std::string err = test::ReadFile(Work("stderr.txt"));
        EXPECT_EQ(ended.exitCode, c.exitCode) << c.name;
        EXPECT_FALSE(ended.leftProcesses) << c.name << ": a process of SAS's tree outlived tamberlo";
        EXPECT_THAT(err, HasSubstr("\r\nbefore the pause\r\n")) << c.name;
        EXPECT_THAT(err, EndsWith("\r\nNOTE: SAS was asked to end and has removed its WORK library.\r\n" +
                                  std::string(c.message)))
            << c.name;
        EXPECT_THAT(test::ListFolder(Temp()), IsEmpty()) << c.name;
    }
}
#endif

#ifndef _WIN32
// tamberlo killed with SIGKILL while a site's `sas` runs SAS as its child:
// the guard stops both and removes the run's folder.
TEST_F(TamberloCommand, AKilledCommandLeavesNoSASAndNoRunFilesBehind) {
    WriteWrappedSAS(Work("wrapped"));
    test::ChildLaunch launch;
    launch.arguments = {tamberloProgram, "--sas-root", Work("wrapped/"), "-e",
                        "data _null_; put 'before the pause'; call sleep(30); run;"};
    test::ChildProcess tamberlo(launch);
    for (int wait = 0; wait < 400 && !RunLogHolds(Temp(), "before the pause"); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(RunLogHolds(Temp(), "before the pause")) << "SAS never logged";

    tamberlo.Kill();
    EXPECT_EQ(tamberlo.Wait().signal, SIGKILL);
    // The guard gives SAS its grace period; the stand-in ends at SIGTERM.
    for (int wait = 0; wait < 200 && !(tamberlo.LeftInSession().empty() && test::ListFolder(Temp()).empty()); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_THAT(tamberlo.LeftInSession(), IsEmpty()) << "a process of SAS's tree outlived tamberlo";
    EXPECT_THAT(test::ListFolder(Temp()), IsEmpty());
}
#endif

#ifndef _WIN32
// A second Ctrl-C while a SAS that will not end is being stopped kills it at
// once instead of after its grace period; the run's files still go.
TEST_F(TamberloCommand, ASecondInterruptCutsTheGracePeriodShortAndStillLeavesNothingBehind) {
    fs::create_directory(Work("stubborn"));
    fs::copy_file(standInRoot + "/sasv9.cfg", Work("stubborn/sasv9.cfg"));
    const std::string ready = Work("ready");
    struct Case {
        const char* name;
        const char* trap;
    } const cases[] = {
        {"ignores SIGTERM", "trap '' TERM"},
        {"tidies up slowly on SIGTERM", "trap 'sleep 30; exit 0' TERM"},
    };
    for (const Case& c : cases) {
        fs::remove(ready);
        test::WriteFile(Work("stubborn/sas"),
                        "#!/bin/sh\n" + std::string(c.trap) + "\n: > \"" + ready + "\"\nsleep 30\n");
        fs::permissions(Work("stubborn/sas"), fs::perms::owner_all);
        test::ChildLaunch launch;
        launch.arguments = {tamberloProgram, "--sas-root", Work("stubborn/"), "-e", "data _null_; run;"};
        launch.error = Work("stderr.txt");
        test::ChildProcess tamberlo(launch);
        for (int wait = 0; wait < 400 && !fs::exists(ready); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(fs::exists(ready)) << c.name << ": SAS never started";

        const auto first = std::chrono::steady_clock::now();
        tamberlo.Interrupt();
        // Apart, so that the command sees two interrupts and not one.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        tamberlo.Interrupt();
        const test::ChildResult ended = tamberlo.Wait();
        // The grace period is 5 seconds.
        EXPECT_LT(std::chrono::steady_clock::now() - first, std::chrono::seconds(4)) << c.name;
        EXPECT_EQ(ended.signal, 0) << c.name;
        EXPECT_EQ(ended.exitCode, 130) << c.name;
        EXPECT_FALSE(ended.leftProcesses) << c.name << ": a process of SAS's tree outlived tamberlo";
        EXPECT_THAT(test::ReadFile(Work("stderr.txt")),
                    EndsWith("tamberlo: Execute method: SAS was stopped on request before it ended.\n"))
            << c.name;
        EXPECT_THAT(test::ListFolder(Temp()), IsEmpty()) << c.name;
    }
}
#endif

#ifndef _WIN32
// Ctrl-C while SAS runs: SAS is stopped, the run's files go, exit 130.
TEST_F(TamberloCommand, AnInterruptStopsSASAndLeavesNothingBehind) {
    test::ScopedEnvironment slow("TAMBERLO_STANDIN_SLEEP", "30");
    std::vector<std::string> args = {tamberloProgram, "--sas-root", standInRoot, "-e",
                                     "data _null_; file _put1; put 'x'; run;"};
    test::ChildLaunch launch;
    launch.arguments = args;
    test::ChildProcess tamberlo(launch);

    // Interrupt once SAS has its program, that is, while it sleeps.
    bool running = false;
    for (int wait = 0; wait < 400 && !running; ++wait) {
        for (const std::string& name : test::RunFileNames(Temp())) running |= name.rfind("tmpSASProgram", 0) == 0;
        if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(running) << "the run never started";
    tamberlo.Interrupt();

    const test::ChildResult ended = tamberlo.Wait();
    ASSERT_EQ(ended.signal, 0) << "tamberlo died of the signal";
    EXPECT_EQ(ended.exitCode, 130);
    EXPECT_FALSE(ended.leftProcesses);
}
#endif

TEST_F(TamberloCommand, JsonCarriesTheSessionsTextsAsUtf8WithTheEncodingAndWhatCouldNotBeDecoded) {
    struct Case {
        const char* encoding;
        std::string text;     // as the arguments carry it: UTF-8
        std::string putFile;  // as SAS wrote it
    };
    const Case cases[] = {
        {"UTF-8", "Gr\u00FC\u00DFe, \u20AC and \u65E5\u672C\u8A9E",
         "Gr\xC3\xBC\xC3\x9F"
         "e, \xE2\x82\xAC and \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\r\n"},
        {"WLATIN1", "Gr\u00FC\u00DFe, \u20AC",
         "Gr\xFC\xDF"
         "e, \x80\r\n"},
        {"SHIFT-JIS", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA\r\n"},
    };
    // A folder named in a script that no ANSI code page holds with the others.
    const std::filesystem::path putDir = u8"\u65E5\u672C-\u00FC";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        const test::ToolResult result =
            Run({"--json", "--encoding", c.encoding, "--put-dir", putDir.string(), "-e",
                 "data _null_; file print; put '" + c.text + "'; file _put1; put '" + c.text + "'; run;"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const nlohmann::json json = nlohmann::json::parse(result.out);
        EXPECT_EQ(json.at("encoding"), c.encoding);
        EXPECT_EQ(json.at("undecodableBytes"), 0);
        EXPECT_EQ(json.at("putFiles").at(0).at("text"), c.text + "\r\n");
        EXPECT_EQ(json.at("listing"), ListingPage(1, {c.text}));
        EXPECT_THAT(json.at("log").get<std::string>(), HasSubstr("put '" + c.text + "';"));
        std::ifstream put(std::filesystem::path(Work()) / putDir / "_PUT1.txt", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(put), {}), c.putFile);  // byte for byte
    }

    // Latin-1 bytes in a stored program of a UTF-8 session: in the log's echo
    // and in the put file, three each.
    test::WriteFile(Work("old.sas"), "data _null_; file _put1; put 'caf\xE9 \xE9t\xE9'; run;\r\n");
    const nlohmann::json json = nlohmann::json::parse(Run({"--json", "--encoding", "utf8", "old.sas"}).out);
    EXPECT_EQ(json.at("encoding"), "UTF-8");
    EXPECT_EQ(json.at("undecodableBytes"), 6);
    EXPECT_EQ(json.at("putFiles").at(0).at("text"), "caf\uFFFD \uFFFDt\uFFFD\r\n");

    // A character the session cannot hold: nothing runs.
    const test::ToolResult refused = Run({"--encoding", "latin1", "-e", "%put \u20AC;"});
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_EQ(refused.err,
              "tamberlo: Execute method: The program cannot be written in the SAS session encoding LATIN1: the "
              "character U+20AC in line 1 has no place in it.\n");
}
