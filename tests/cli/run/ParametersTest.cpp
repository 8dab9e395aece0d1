// --sysparm, --set, --let, --autoexec and --sas-option through the command,
// run for real against the stand-in: what SAS receives, what the program
// sees, and what is refused before SAS starts.

#include "CommandTest.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

// Each run records the arguments SAS received (the stand-in's switch), so
// that a test can tell what reached SAS and whether SAS started at all.
class Parameters : public test::CommandTest {
protected:
    std::string record = Work("record");
    test::ScopedEnvironment recordSwitch{"TAMBERLO_STANDIN_RECORD", record};

    // The arguments SAS received after -LOG <file>.
    std::vector<std::string> Received() const {
        const std::vector<std::string> args = test::RecordedArguments(record);
        const auto log = std::find(args.begin(), args.end(), "-LOG");
        return log == args.end() ? args : std::vector<std::string>(log + 2, args.end());
    }
};

}  // namespace

// Every quoting hazard of the Windows rules and of SAS's macro language
// reaches the program as it was given.
TEST_F(Parameters, ValuesReachTheProgramExactly) {
    const std::vector<std::string> hazards = {
        "plain", "two  blanks ", " lead",    "say \"hi\"", "it's",   R"(C:\dir\)", R"(\\"\\)", R"(a\"b)",    "",
        "a;b",   "&x.%y",        "%put no;", "(open",      "close)", "50% off",    "\t",       "caf\xc3\xa9"};
    for (const std::string& value : hazards) {
        SCOPED_TRACE("[" + value + "]");
        const test::ToolResult result =
            Run({"--raw", "--log", "run.log", "--sysparm", value, "--set", "V=" + value, "--let", "v=" + value, "-e",
                 "%put [&sysparm]; %put [%sysget(V)]; %put [&v];", "-e", "data _null_; put \"[&v]\"; run;"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        // The log file holds the session encoding's bytes: LATIN1, or WLATIN1 on Windows.
        const std::string shown = value == "caf\xc3\xa9" ? "caf\xe9" : value;
        const std::string log = test::ReadFile(Work("run.log"));
        EXPECT_EQ(test::Occurrences(log, "\r\n[" + shown + "]\r\n"), 4) << log;
    }
}

TEST_F(Parameters, OptionsArePassedInOrderAfterTamberlosOwn) {
    const struct {
        std::vector<std::string> arguments;
        std::vector<std::string> received;
    } cases[] = {
        {{"--sysparm", "a b"}, {"-SYSPARM", "a b"}},
        {{"--set", "A=1", "--set", "B=x=y", "--set", "A=2"}, {"-SET", "B", "x=y", "-SET", "A", "2"}},
        {{"--let", "N=v", "--let", "E="}, {"-SET", "TAMBERLO_LET_N", "v"}},
        {{"--sas-option=-MEMSIZE", "--sas-option=4G", "--sas-option=-WORK", "--sas-option", "a \"b\""},
         {"-MEMSIZE", "4G", "-WORK", "a \"b\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-e", "%put x;"});
        ASSERT_EQ(Run(arguments).exitCode, 0);
        EXPECT_EQ(Received(), c.received);
    }
}

TEST_F(Parameters, WhatCannotBePassedIsAUsageErrorBeforeSASStarts) {
    WriteWork("auto.sas", "%put auto;\n");
    const struct {
        std::vector<std::string> arguments;
        std::string error;
        bool batchToo = true;  // the batch finds the configuration's encoding per program
    } cases[] = {
        {{"--set", "A"}, "--set A: expected NAME=VALUE"},
        {{"--set", "1A=x"}, "--set 1A: not a SAS name (a letter or _, then letters, digits and _, at most 32)"},
        {{"--let", "a b=x"}, "--let a b: not a SAS name (a letter or _, then letters, digits and _, at most 32)"},
        {{"--let", std::string(33, 'n') + "=x"},
         "--let " + std::string(33, 'n') + ": not a SAS name (a letter or _, then letters, digits and _, at most 32)"},
        {{"--let", "sysparm=x"}, "--let sysparm: names that start with SYS are SAS's own"},
        {{"--let", "A=1\n2"}, "--let A: it holds a line break"},
        {{"--set", "A=1\r"}, "--set A: it holds a line break"},
        {{"--sysparm", "x\ny"}, "--sysparm: it holds a line break"},
        {{"--sas-option=-sysin"}, "--sas-option -sysin: Tamberlo passes -SYSIN itself"},
        {{"--sas-option=-LOG"}, "--sas-option -LOG: Tamberlo passes -LOG itself"},
        {{"--sas-option=-NoTerminal"}, "--sas-option -NoTerminal: Tamberlo passes -NOTERMINAL itself"},
        {{"--sas-option=-SET"}, "--sas-option -SET: Tamberlo passes -SET itself"},
        {{"--autoexec", "missing.sas"}, "--autoexec missing.sas: File not found"},
        {{"--autoexec", ""}, "--autoexec: expected a file name"},
        {{"--encoding", "LATIN1", "--let", "A=\xe2\x82\xac"},
         "--let A: the character U+20AC has no place in the SAS session encoding LATIN1"},
        // The session encoding the configuration names is found at the run.
        {{"--config", "l1.cfg", "--sysparm", "\xe2\x82\xac"},
         "--sysparm: the character U+20AC has no place in the SAS session encoding LATIN1",
         false},
#ifndef _WIN32
        // Windows hands the command its arguments as text already.
        {{"--set", "A=\xff"}, "--set A: it holds bytes that are not text in the encoding UTF-8"},
#endif
    };
    WriteWork("l1.cfg", "-ENCODING LATIN1\n");
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        std::vector<std::string> arguments = c.arguments;
        arguments.insert(arguments.end(), {"-e", "%put x;"});
        const test::ToolResult result = Run(arguments);
        EXPECT_EQ(result.exitCode, 64);
        EXPECT_EQ(result.err, "tamberlo: " + c.error + "\n");
        EXPECT_FALSE(test::Exists(record)) << "SAS was started";
        if (!c.batchToo) continue;
        // The batch form refuses the same.
        arguments.pop_back();
        arguments.back() = "auto.sas";
        EXPECT_EQ(Batch(arguments).exitCode, 64);
    }
}

TEST_F(Parameters, AutoexecRunsAheadAndLineNumbersStayThePrograms) {
    WriteWork("auto exec.sas", "%let site = main;\n");
    WriteWork("report.sas", "%put &site &study;\nfoo;\n");
    const test::ToolResult result =
        Batch({"--autoexec", Work("auto exec.sas"), "--let", "study=S012", "--json", "r.json", "report.sas"});
    EXPECT_EQ(result.exitCode, 2) << result.err;
    const nlohmann::json program = nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0);
    EXPECT_EQ(program.at("findings").at(0).at("programLine"), 2);
    const test::ToolResult single = Run({"--autoexec", "auto exec.sas", "--let", "study=S012", "report.sas"});
    EXPECT_THAT(single.err, HasSubstr("\r\nmain S012\r\n"));
    EXPECT_THAT(single.err, testing::Not(HasSubstr("%let site")));
}

TEST_F(Parameters, ReportsSayWhichRunItWas) {
    WriteWork("report.sas", "%put &study;\n");
    const std::vector<std::string> given = {
        "--sysparm", "S<1>", "--set", "R=a\"b", "--let", "study=S012", "--sas-option=-MEMSIZE", "--sas-option=4G"};
    const nlohmann::json expected = nlohmann::json::parse(
        R"({"sysparm": "S<1>", "set:R": "a\"b", "let:study": "S012", "sas-option": ["-MEMSIZE", "4G"]})");

    std::vector<std::string> single = given;
    single.insert(single.end(), {"--json", "report.sas"});
    EXPECT_EQ(nlohmann::json::parse(Run(single).out).at("parameters"), expected);

    std::vector<std::string> batch = given;
    batch.insert(batch.end(), {"--json", "r.json", "--junit", "j.xml", "--html", "r.html", "report.sas"});
    ASSERT_EQ(Batch(batch).exitCode, 0);
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r.json")));
    EXPECT_EQ(report.at("programs").at(0).at("parameters"), expected);
    EXPECT_THAT(test::ReadFile(Work("j.xml")),
                HasSubstr("  <properties>\n    <property name=\"sysparm\" value=\"S&lt;1&gt;\"/>\n"
                          "    <property name=\"set:R\" value=\"a&quot;b\"/>\n"
                          "    <property name=\"let:study\" value=\"S012\"/>\n"
                          "    <property name=\"sas-option\" value=\"-MEMSIZE\"/>\n"
                          "    <property name=\"sas-option\" value=\"4G\"/>\n  </properties>\n"));
    EXPECT_THAT(test::ReadFile(Work("r.html")), HasSubstr("<span>sysparm S&lt;1&gt;</span><span>set:R a"));
}

// A program that is a file knows its own full path and folder, whatever they
// hold, in a single run, a batch and a parameter table's row: it finds its
// neighbours with them, and its findings keep its own line numbers. Text
// from -e or standard input knows neither; a --let of the name wins.
TEST_F(Parameters, AProgramFileKnowsItsOwnPath) {
#ifdef _WIN32
    const std::string folderName = "it's & %x; (a)";
#else
    const std::string folderName = "it's \"q\" & %x; (J\xc3\xbcrgen) \xff";
#endif
    const std::string program =
        "%put [&_SASPROGRAMFILE];\r\n%put [&_SASPROGRAMDIR];\r\n"
        "%include \"&_SASPROGRAMDIR/inc.sas\";\r\nfoo;\r\n";
    WriteWork(folderName + "/prog.sas", program);
    WriteWork(folderName + "/inc.sas", "%put [included];\r\n");
    WriteWork("m.csv", "row,sysparm\nr1,x\n");
    const std::string folder = std::filesystem::path(Work(folderName)).make_preferred().string();
    const std::string file = folder + static_cast<char>(std::filesystem::path::preferred_separator) + "prog.sas";
    const std::vector<std::string> known = {"[" + file + "]", "[" + folder + "]", "[included]"};
    const std::vector<std::string> unknown = {"[&_SASPROGRAMFILE]",
                                              "WARNING: Apparent symbolic reference _SASPROGRAMFILE not resolved."};
    const struct {
        std::vector<std::string> arguments;
        std::string log;                 // where the run's log goes
        std::vector<std::string> shown;  // lines the log holds
        long firstFinding;               // its program line; 0: a program of text, which SARIF cannot place
        bool batch = false;
        std::string standardInput = {};
    } cases[] = {
        {{"--log", "run.log", Work(folderName + "/prog.sas")}, "run.log", known, 4},
        {{"--log", "run.log", "./" + folderName + "/./prog.sas"}, "run.log", known, 4},
        {{"--out", "out", folderName + "/prog.sas"}, "out/prog.log", known, 4, true},
        {{"--matrix", "m.csv", "--out", "out", folderName}, "out/r1/prog.log", known, 4, true},
        // The user's value wins: the include is not found.
        {{"--log", "run.log", "--let", "_sasprogramDir=mine", folderName + "/prog.sas"},
         "run.log",
         {"[" + file + "]", "[mine]", "ERROR: Cannot open %INCLUDE file mine/inc.sas."},
         3},
        {{"--log", "run.log", "-e", program}, "run.log", unknown, 0},
        {{"--log", "run.log", "-"}, "run.log", unknown, 0, false, program},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        std::filesystem::remove_all(Work("out"));
        std::vector<std::string> arguments = c.arguments;
        if (c.firstFinding != 0) arguments.insert(arguments.begin(), {"--sarif", "r.sarif"});
        const test::ToolResult result = c.batch ? Batch(arguments) : Run(arguments, c.standardInput);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        const std::string log = test::ReadFile(Work(c.log));
        for (const std::string& line : c.shown) EXPECT_THAT(log, HasSubstr("\r\n" + line + "\r\n"));
        if (c.firstFinding == 0) continue;
        const nlohmann::json sarif = nlohmann::json::parse(test::ReadFile(Work("r.sarif")));
        const nlohmann::json::json_pointer line("/runs/0/results/0/locations/0/physicalLocation/region/startLine");
        EXPECT_EQ(sarif.at(line), c.firstFinding);
    }

#ifndef _WIN32
    // A line break in a folder cannot reach SAS: refused, never cut short.
    WriteWork("a\nb/prog.sas", "%put x;\r\n");
    std::filesystem::remove(record);
    const test::ToolResult single = Run({"a\nb/prog.sas"});
    EXPECT_EQ(single.exitCode, 64);
    EXPECT_EQ(
        single.err,
        "tamberlo: the macro variable _SASPROGRAMFILE (the program's own path) cannot be passed to SAS: it holds a line break; --let _SASPROGRAMFILE=VALUE sets it instead\n");
    const test::ToolResult batch = Batch({"--json", "r.json", "a\nb/prog.sas"});
    EXPECT_EQ(batch.exitCode, 3) << batch.out;
    EXPECT_EQ(nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0).at("problem"),
              "Execute method: The macro variable _SASPROGRAMFILE cannot be passed to SAS: it holds a line break.");
    EXPECT_FALSE(test::Exists(record)) << "SAS was started";
#endif
}
