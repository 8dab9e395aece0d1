// How the command judges a run, single or batch: SAS's exit code, the log's
// error and warning lines, the site's rules (--ignore, --fail-on, --strict)
// and where the findings stand in the program and its included files.

#include "BatchCommandTest.h"
#include "CommandTest.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

using namespace tamberlo;
using testing::EndsWith;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

using test::ListingPage;
using test::PrintStep;

using TamberloCommand = test::CommandTest;
using BatchCommand = test::BatchCommandTest;

}  // namespace

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

TEST_F(BatchCommand, SASExitCodeTwoOrMoreFailsEvenACleanLog) {
    Program("clean.sas", "data _null_; run;\r\n");
    test::ScopedEnvironment exitCode("TAMBERLO_STANDIN_EXIT", "3");
    const test::ToolResult result = Batch({"--junit", "junit.xml", "clean.sas"});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_THAT(result.out, HasSubstr("\nclean: SAS exit code 3\n"));
    EXPECT_THAT(test::ReadFile(Work("junit.xml")),
                HasSubstr("<failure message=\"SAS exit code 3\" type=\"SAS errors\">"));
}

// --ignore, --fail-on and --strict decide what counts; findings carry the
// program's own line numbers past the lines Tamberlo writes ahead of it.
TEST_F(BatchCommand, SiteRulesDecideWhatCounts) {
    Program("rules.sas", "data _null_; file _put1; put 'x';\r\nput 'n=' _N_ total;\r\nrun;\r\nfilename licence;\r\n");
    const std::string uninitialized =
        R"({"kind": "error", "logLine": 9, "programLine": 3, "text": "NOTE: Variable total is uninitialized.", "rule": "strict-uninitialized"})";
    const std::string licence =
        R"({"kind": "warning", "logLine": 18, "programLine": 4, "text": "WARNING: No logical assign for filename LICENCE.", "rule": "WARNING"})";
    const std::string licenceError =
        R"({"kind": "error", "logLine": 18, "programLine": 4, "text": "WARNING: No logical assign for filename LICENCE.", "rule": "licence"})";
    const std::string uninitializedRule =
        R"({"kind": "error", "logLine": 9, "programLine": 3, "text": "NOTE: Variable total is uninitialized.", "rule": "fail-on-2"})";
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases{
        {{}, 1, "[" + licence + "]"},
        {{"--ignore", "No logical assign"}, 0, "[]"},
        {{"--strict"}, 2, "[" + uninitialized + "," + licence + "]"},
        {{"--strict", "--ignore", "is uninitialized", "--ignore", "^WARNING: No"}, 0, "[]"},
        {{"--fail-on", "licence=^WARNING: No logical", "--fail-on", "^NOTE: Variable"},
         2,
         "[" + uninitializedRule + "," + licenceError + "]"},
    };
    for (const auto& [rules, exitCode, findings] : cases) {
        std::vector<std::string> arguments = rules;
        arguments.insert(arguments.end(), {"--json", "r.json", "rules.sas"});
        const test::ToolResult result = Batch(arguments);
        EXPECT_EQ(result.exitCode, exitCode) << testing::PrintToString(rules) << result.out << result.err;
        const nlohmann::json program = nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0);
        EXPECT_EQ(program.at("findings"), nlohmann::json::parse(findings)) << testing::PrintToString(rules);
    }
    const test::ToolResult bad = Batch({"--fail-on", "(unclosed", "rules.sas"});
    EXPECT_EQ(bad.exitCode, 64);
    EXPECT_EQ(bad.err,
              "tamberlo: --fail-on (unclosed: not a valid regular expression (RE2's syntax: no look-around, no "
              "back-references): missing ): (unclosed\n");
}

// With SOURCE2 a finding in an included file names that file and its line;
// the program's own lines after it keep their numbers.
TEST_F(BatchCommand, FindingsInIncludedFilesNameTheirFile) {
    Program("inner.sas", "bar;\r\n");
    Program("part.sas", "data _null_; run;\r\n%include '" + Work("inner.sas") + "';\r\nbaz;\r\n");
    Program("main.sas", "options source2;\r\n%include '" + Work("part.sas") + "';\r\nfoo;\r\n");
    const test::ToolResult result = Batch({"--json", "r.json", "main.sas"});
    ASSERT_EQ(result.exitCode, 2) << result.out << result.err;
    std::string places;
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r.json")));
    for (const nlohmann::json& finding : report.at("programs").at(0).at("findings")) {
        places += finding.value("includedFile", std::string("main.sas")) + ":" + finding.at("programLine").dump() +
                  " " + std::string(finding.at("rule")) + "\n";
    }
    EXPECT_EQ(places, Work("inner.sas") + ":1 SAS180-322\n" + Work("part.sas") +
                          ":3 SAS180-322\nmain.sas:3 SAS180-322\nmain.sas:3 ERROR\n");
}
