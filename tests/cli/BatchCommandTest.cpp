// `tamberlo batch` run for real against the SAS stand-in: verdicts, exit
// status, reports, outputs on disk and what is left behind.

#include "ChildProcess.h"
#include "CommandTest.h"
#include "TestSupport.h"
#include "cli/batch/ProgramList.h"
#include "cli/base/Console.h"
#include "cli/base/UsageError.h"
#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/BatchProgress.h"
#include "cli/reports/ReportSet.h"
#include "cli/reports/ReportText.h"
#include "cli/batch/SchedulerShard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <chrono>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tamberlo;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

namespace {

namespace fs = std::filesystem;

const std::string& tamberloProgram = test::CommandTest::CommandPath();
const std::string& standInRoot = test::CommandTest::StandInRoot();

// xmllint's complaints about a JUnit report checked against the schema the
// tests carry; empty when it validates.
std::string ValidateJUnit(const std::string& report) {
#ifdef _WIN32
    // Under Wine there is no xmllint; the native run checks the same writer.
    (void)report;
    return "";
#else
    const std::string messages = report + ".xmllint";
    const std::string command = "xmllint --noout --schema '" + std::string(TAMBERLO_TEST_DATA_DIR) + "/junit.xsd' '" +
                                report + "' 2> '" + messages + "'";
    const int status = std::system(command.c_str());
    std::string text = test::ReadFile(messages);
    fs::remove(messages);
    return status == 0 ? "" : text.empty() ? "xmllint failed" : text;
#endif
}

#ifdef _WIN32
// Every stand-in start under Wine costs a good part of a second, more under load.
const std::string timeLimit = "10";
#else
const std::string timeLimit = "4";
#endif

// Per program what must not depend on the machine, the order of runs or -j:
// everything but times and the log (which holds temporary names and times).
std::map<std::string, nlohmann::json> Facts(const nlohmann::json& report) {
    std::map<std::string, nlohmann::json> facts;
    for (nlohmann::json program : report.at("programs")) {
        program.erase("seconds");
        program.erase("log");
        facts[program.at("name")] = program;
    }
    return facts;
}

class BatchCommand : public test::CommandTest {
protected:
    void Program(const std::string& name, const std::string& text) { WriteWork(name, text); }
};

}  // namespace

namespace {

// Twenty programs of every verdict, run by one batch of four jobs and once
// more one at a time, for all the tests of the suite: each checks one part
// of what the batch did. The suite runs in one process (tests/cli/CMakeLists.txt).
class TwentyPrograms : public testing::Test {
protected:
    // The run folders of the two batches, kept for the whole suite.
    class Batches : public test::CommandTest {
    public:
        Batches() {
            for (int i = 1; i <= 10; ++i) {
                const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
                WriteWork("programs/clean" + n + ".sas", "data _null_; file print; put 'listed " + n +
                                                             "'; file _put1; put 'tab\there " + n + "'; run;\r\n");
            }
            for (const char* n : {"1", "2", "3"}) {
                WriteWork(std::string("programs/warn") + n + ".sas", "filename nothing;\r\n");
                WriteWork(std::string("programs/sub/error") + n + ".sas", "foo;\r\n");
            }
            // Until the stand-in knows ABORT it fails the statement: failed either way.
            WriteWork("programs/abort.sas", "data _null_; abort; run;\r\n");
            WriteWork("programs/sleeper.sas", "data _null_; file _put1; put 'x'; call sleep(120); run;\r\n");
            WriteWork("programs/empty.sas", "");
            // What an earlier batch left for these programs goes.
            WriteWork("four/sleeper.log", "an earlier run");
            WriteWork("four/warn1.lst", "an earlier run");
            WriteWork("four/clean03/_PUT9.txt", "an earlier run");
            four = RunBatch("4", "four");
            one = RunBatch("1", "one");
        }
        void TestBody() override {}
        using CommandTest::TearDown;
        using CommandTest::Work;

        test::ToolResult four;
        test::ToolResult one;

    private:
        test::ToolResult RunBatch(const std::string& jobs, const std::string& name) {
            return Batch({"-j", jobs, "--recursive", "--timeout", timeLimit, "--out", name, "--junit",
                          "reports/" + name + ".xml", "--json", name + ".json", "programs", "missing.sas"});
        }
    };

    static void SetUpTestSuite() { batches_ = std::make_unique<Batches>(); }
    static void TearDownTestSuite() {
        batches_->TearDown();
        batches_.reset();
    }

    static const Batches& Ran() { return *batches_; }
    static std::string Work(const std::string& name) { return batches_->Work(name); }
    static nlohmann::json Report(const std::string& name) { return nlohmann::json::parse(test::ReadFile(Work(name))); }

    const std::string error1 = fs::path("programs/sub/error1.sas").make_preferred().string();

private:
    static inline std::unique_ptr<Batches> batches_;
};

}  // namespace

TEST_F(TwentyPrograms, TheTerminalShowsEachProblemAndTheCounts) {
    const test::ToolResult& result = Ran().four;
    EXPECT_EQ(result.exitCode, 4) << result.out << result.err;
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(result.out, HasSubstr("\nmissing: missing.sas: no such program file\n"));
    EXPECT_THAT(
        result.out,
        HasSubstr("\n" + error1 + ":1: ERROR 180-322: Statement is not valid or it is used out of proper order.\n"));
    EXPECT_THAT(result.out, HasSubstr("\nempty: ERROR: No command supplied.\n"));
    EXPECT_THAT(result.out,
                HasSubstr("\n20 of 20 programs: 10 clean, 3 warnings, 4 failed, 2 errors, 1 time limits; "));
}

TEST_F(TwentyPrograms, TheJsonReportHoldsEachVerdictAndFinding) {
    const nlohmann::json report = Report("four.json");
    EXPECT_EQ(report.at("exitStatus"), 4);
    const auto facts = Facts(report);
    ASSERT_EQ(facts.size(), 20u);
    const std::map<std::string, std::pair<std::string, int>> verdicts{
        {"warn1", {"warnings", 1}},     {"sub/error2", {"failed", 2}}, {"abort", {"failed", 2}},
        {"sleeper", {"time limit", 4}}, {"missing", {"error", 3}},     {"empty", {"error", 3}},
        {"clean07", {"clean", 0}}};
    for (const auto& [name, verdict] : verdicts) {
        EXPECT_EQ(facts.at(name).at("verdict"), verdict.first) << name;
        EXPECT_EQ(facts.at(name).at("exitStatus"), verdict.second) << name;
    }
    EXPECT_EQ(facts.at("warn1").at("sasExitCode"), 1);
    EXPECT_GE(facts.at("abort").at("sasExitCode"), 2);
    EXPECT_TRUE(facts.at("sleeper").at("sasExitCode").is_null());
    EXPECT_EQ(facts.at("sub/error3").at("firstErrorLines"),
              nlohmann::json({"ERROR 180-322: Statement is not valid or it is used out of proper order.",
                              "ERROR: Errors printed on page 1."}));
    // Log line 7 follows the %LET statements of the program's own path (1,
    // 2), the formchar statement (3), the echoed "foo;" (4) and its marker lines.
    EXPECT_EQ(facts.at("sub/error3").at("findings"), nlohmann::json::parse(R"([
        {"kind": "error", "logLine": 7, "programLine": 1, "rule": "SAS180-322",
         "text": "ERROR 180-322: Statement is not valid or it is used out of proper order."},
        {"kind": "error", "logLine": 8, "programLine": 1, "rule": "ERROR", "text": "ERROR: Errors printed on page 1."}])"));
    EXPECT_EQ(facts.at("warn2").at("findings"), nlohmann::json::parse(R"([
        {"kind": "warning", "logLine": 5, "programLine": 1, "rule": "WARNING",
         "text": "WARNING: No logical assign for filename NOTHING."}])"));
    EXPECT_THAT(std::string(facts.at("sleeper").at("problem")), HasSubstr("Execute method: "));
}

// The JUnit report: the elements and attributes its schema requires.
TEST_F(TwentyPrograms, TheJUnitReportValidatesAndNamesEachProblem) {
    const std::string junit = test::ReadFile(Work("reports/four.xml"));
    EXPECT_TRUE(std::regex_search(
        junit,
        std::regex("^<\\?xml version=\"1.0\" encoding=\"UTF-8\"\\?>\n<testsuite name=\"tamberlo batch\" tests=\"20\" "
                   "failures=\"4\" errors=\"3\" time=\"[0-9]+\\.[0-9]{3}\" timestamp=\"[0-9]{4}-[0-9]{2}-[0-9]{2}T"
                   "[0-9]{2}:[0-9]{2}:[0-9]{2}\" hostname=\"[^\"]+\">\n  <properties/>\n")))
        << junit.substr(0, 400);
    EXPECT_TRUE(std::regex_search(junit, std::regex("  <system-out/>\n  <system-err/>\n</testsuite>\n$")));
    const std::regex testcase("<testcase name=\"([^\"]+)\" classname=\"tamberlo\" time=\"[0-9]+\\.[0-9]{3}\">");
    EXPECT_EQ(std::distance(std::sregex_iterator(junit.begin(), junit.end(), testcase), std::sregex_iterator()), 20);
    EXPECT_EQ(std::count(junit.begin(), junit.end(), '\f'), 0);
    EXPECT_THAT(junit, HasSubstr("<testcase name=\"sub/error1\" classname=\"tamberlo\" time=\""));
    EXPECT_THAT(junit, HasSubstr("<failure message=\"" + error1 +
                                 ":1: ERROR 180-322: Statement is not valid "
                                 "or it is used out of proper order.&#10;" +
                                 error1 +
                                 ":1: ERROR: Errors printed "
                                 "on page 1.\" type=\"SAS errors\">" +
                                 error1 +
                                 ":1: ERROR 180-322: Statement "
                                 "is not valid or it is used out of proper order. (log line 7)\n"));
    EXPECT_EQ(ValidateJUnit(Work("reports/four.xml")), "") << "the report does not validate";
    EXPECT_EQ(test::ListFolder(Work("reports")), (std::vector<std::string>{"four.xml", "one.xml"}))
        << "a temporary file was left";
    EXPECT_THAT(junit, HasSubstr("<error message=\"missing.sas: no such program file\" type=\"Tamberlo error\">"));
    EXPECT_TRUE(std::regex_search(junit, std::regex("<error message=\"Execute method: [^\"]+\" type=\"time limit\">")));
    EXPECT_THAT(junit,
                HasSubstr("<system-out>1          %LET _SASPROGRAMFILE=%QSYSFUNC(SYSGET(TAMBERLO_LET__"
                          "SASPROGRAMFILE));\r\n2          %LET _SASPROGRAMDIR=%QSYSFUNC(SYSGET(TAMBERLO_"
                          "LET__SASPROGRAMDIR));\r\n3          options formchar='|-++++++++++=|-/|&lt;&gt;*';\r\n"));
}

// Outputs: log, listing and put files exactly as SAS wrote them, an archive
// of the run; the reports show the texts cleaned.
TEST_F(TwentyPrograms, OutputsHoldWhatEachProgramWrote) {
    EXPECT_EQ(test::ReadFile(Work("four/clean03.lst")), test::ListingPage(1, {"listed 03"}, true));
    EXPECT_EQ(test::ListFolder(Work("four/clean03")), std::vector<std::string>{"_PUT1.txt"});
    EXPECT_EQ(test::ReadFile(Work("four/clean03/_PUT1.txt")), "tab\there 03\r\n");
    const nlohmann::json report = Report("four.json");
    for (const nlohmann::json& program : report.at("programs")) {
        if (program.at("name") == "sub/error1") {
            EXPECT_EQ(test::ReadFile(Work("four/sub/error1.log")), program.at("log"));
        }
    }
    EXPECT_THAT(test::ReadFile(Work("four/sub/error1.log")), HasSubstr("\r\n4          foo;\r\n"));
    EXPECT_FALSE(test::Exists(Work("four/warn1.lst"))) << "no listing, no file";
    // A program stopped at the time limit keeps the log it had written, in
    // the report and in the folder; its put files are not its outputs.
    EXPECT_THAT(test::ReadFile(Work("four/sleeper.log")), HasSubstr("call sleep(120)"));
    EXPECT_TRUE(std::regex_search(test::ReadFile(Work("reports/four.xml")),
                                  std::regex("type=\"time limit\">[^<]*</error>\n    <system-out>[^<]*call "
                                             "sleep\\(120\\)")));
    for (const char* absent : {"four/missing.log", "four/empty.log", "four/sleeper"}) {
        EXPECT_FALSE(test::Exists(Work(absent))) << absent;
    }
}

// One at a time, the same facts.
TEST_F(TwentyPrograms, OneAtATimeGivesTheSameFacts) {
    EXPECT_EQ(Ran().one.exitCode, 4);
    EXPECT_EQ(Facts(Report("one.json")), Facts(Report("four.json")));
}

TEST_F(BatchCommand, ShardsHoldEveryProgramExactlyOnce) {
    for (const char* name : {"a.sas", "b.SAS", "c.sas", "d/e.sas", "d/f.sas", "g.sas", "h.sas"}) {
        Program(std::string("set/") + name, "data _null_; run;\r\n");
    }
    Program("set/notes.txt", "not a program");
    std::multiset<std::string> seen;
    for (const char* shard : {"1", "2", "3"}) {
        const test::ToolResult result = Batch(
            {"--recursive", "--shard", std::string(shard) + "/3", "--junit", "junit.xml", "--json", "r.json", "set"});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
        const std::string suffix = std::string("-") + shard + "of3";
        const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r" + suffix + ".json")));
        EXPECT_EQ(report.at("name"), std::string("tamberlo batch ") + shard + "/3");
        EXPECT_THAT(test::ReadFile(Work("junit" + suffix + ".xml")),
                    HasSubstr("<testsuite name=\"tamberlo batch " + std::string(shard) + "/3\""));
        for (const auto& program : report.at("programs")) seen.insert(program.at("name"));
    }
    EXPECT_EQ(seen, (std::multiset<std::string>{"a", "b", "c", "d/e", "d/f", "g", "h"}));
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

TEST_F(BatchCommand, BadUsageExitsWith64BeforeAnythingRuns) {
    Program("a/x.sas", "data _null_; run;\r\n");
    Program("b/x.sas", "data _null_; run;\r\n");
    Program("notes.txt", "data _null_; run;\r\n");
    Program("empty/none.txt", "");
    Program("c/Report.sas", "data _null_; run;\r\n");
    Program("d/report.sas", "data _null_; run;\r\n");
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{}, "tamberlo: no program: name .sas files or folders (see tamberlo batch --help)\n"},
        {{"--shard", "4/3", "a"}, "tamberlo: --shard 4/3: expected K/N with 1 <= K <= N\n"},
        {{"--shard", "0/3", "a"}, "tamberlo: --shard 0/3: expected K/N with 1 <= K <= N\n"},
        {{"-j", "0", "a"}, "tamberlo: --jobs 0: expected 1 to 1024\n"},
        {{"notes.txt"}, "tamberlo: notes.txt: not a .sas program file\n"},
        {{"empty"}, "tamberlo: no program: no .sas file in the folders named\n"},
        {{"a", "b"}, ""},  // two programs named x
#ifdef _WIN32
        // Windows takes Report and report for one output name.
        {{"c/Report.sas", "d/report.sas"}, "tamberlo: two programs are named report: c/Report.sas and d/report.sas\n"},
#endif
        {{"--junit", "notes.txt/r.xml", "a"}, ""},
    };
    for (const auto& [arguments, message] : cases) {
        const test::ToolResult result = Batch(arguments);
        EXPECT_EQ(result.exitCode, 64) << result.err;
        if (!message.empty()) {
            EXPECT_EQ(result.err, message);
        }
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_THAT(result.out, IsEmpty());
    }
    EXPECT_FALSE(test::Exists(Work("record.txt"))) << "SAS was started";
}

// A report may not be written over another report, a program or an output
// under --out, and a report name that is a folder is refused, shard or not:
// before anything runs and before anything is made, folders included.
TEST_F(BatchCommand, ReportsThatWouldOverwriteAFileAreRefusedBeforeAnythingIsMade) {
    Program("progs/a.sas", "data _null_; run;\r\n");
    Program("progs/b.sas", "data _null_; run;\r\n");
    fs::create_directory(Work("reports"));
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    // As the batch found them in the folder.
    const std::string programA = fs::path("progs/a.sas").make_preferred().string();
    const std::string programB = fs::path("progs/b.sas").make_preferred().string();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--junit", "same.xml", "--json", "same.xml"}, "--json same.xml: the same file as --junit same.xml"},
        {{"--junit", "x.xml", "--html", "new/../x.xml"}, "--html new/../x.xml: the same file as --junit x.xml"},
        {{"--junit", "progs/b.sas"}, "--junit progs/b.sas: the same file as the program " + programB},
        {{"--out", "res", "--junit", "res/a.log"}, "--junit res/a.log: the same file as --out res (the log of a)"},
        {{"--out", "res", "--json", "./res/b.lst"},
         "--json ./res/b.lst: the same file as --out res (the listing of b)"},
        {{"--out", "res", "--html", "res/a/_PUT1.txt"},
         "--html res/a/_PUT1.txt: a put file of --out res (the put files of a)"},
        {{"--out", "res", "--junit", "res/a"}, "--junit res/a: the same file as --out res (the put files of a)"},
        {{"--junit", "reports"}, "--junit reports: is a folder"},
        {{"--shard", "1/2", "--junit", "reports/"}, "--junit reports/: is a folder"},
        {{"--shard", "1/2", "--json", "."}, "--json .: is a folder"},
        {{"--junit", "new/deeper/"}, "--junit new/deeper/: is a folder"},
        {{"--junit", "new/deeper/j.xml", "--json", "progs/a.sas/r.json"}, ""},
        // Another name of the same file: a hard link.
        {{"--junit", "hard.sas"}, "--junit hard.sas: the same file as the program " + programB},
        {{"--junit", "j.xml", "--json", "hard.json"}, "--json hard.json: the same file as --junit j.xml"},
        {{"--matrix", "m.csv", "--html", "m.csv"}, "--html m.csv: the same file as --matrix m.csv"},
#ifdef _WIN32
        {{"--junit", "PROGS/B.SAS"}, "--junit PROGS/B.SAS: the same file as the program " + programB},
#else
        {{"--junit", "linked/a.sas"}, "--junit linked/a.sas: the same file as the program " + programA},
#endif
    };
#ifndef _WIN32
    fs::create_directory_symlink("progs", Work("linked"));
#endif
    fs::create_hard_link(Work("progs/b.sas"), Work("hard.sas"));
    WriteWork("j.xml", "an earlier report");
    fs::create_hard_link(Work("j.xml"), Work("hard.json"));
    WriteWork("m.csv", "run,sysparm\na,1\n");
    const std::vector<std::string> before = test::ListFolder(Work());
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> withPrograms = arguments;
        withPrograms.push_back("progs");
        const test::ToolResult result = Batch(withPrograms);
        EXPECT_EQ(result.exitCode, 64) << result.err;
        if (!message.empty()) {
            EXPECT_EQ(result.err, "tamberlo: " + message + "\n");
        }
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_EQ(test::ListFolder(Work()), before) << result.err;
    }
    EXPECT_FALSE(test::Exists(Work("record.txt"))) << "SAS was started";
}

TEST(BatchCommandLine, ReportFilesAreNamedAfterTheShard) {
    const cli::Shard shard = cli::BatchCommandLine::ParseShard("2/3");
    EXPECT_EQ(shard.index, 2);
    EXPECT_EQ(shard.count, 3);
    EXPECT_EQ(cli::ReportFileName("junit.xml", shard), "junit-2of3.xml");
    EXPECT_EQ(cli::ReportFileName("report", shard), "report-2of3");
    EXPECT_EQ(cli::ReportFileName(".xml", shard), "2of3.xml");
    EXPECT_EQ(cli::ReportFileName("reports/.xml", shard), fs::path("reports/2of3.xml").string());
    EXPECT_EQ(cli::ReportFileName("junit.xml", std::nullopt), "junit.xml");
    for (const char* bad : {"", "1", "1/", "/3", "a/3", "1/0", "-1/3", "1/3/5", "1 /3"}) {
        EXPECT_THROW(cli::BatchCommandLine::ParseShard(bad), cli::UsageError) << bad;
    }
}

#ifndef _WIN32
// Ctrl-C stops the SAS sessions that run, and the reports still show what finished.
TEST_F(BatchCommand, AnInterruptStopsEveryRunAndReportsWhatFinished) {
    Program("a-quick.sas", "data _null_; run;\r\n");
    Program("b-slow.sas", "data _null_; file _put1; put 'x'; call sleep(120); run;\r\n");
    Program("c-slow.sas", "data _null_; call sleep(120); run;\r\n");
    std::vector<std::string> args = {tamberloProgram,
                                     "batch",
                                     "--sas-root",
                                     standInRoot,
                                     "-j",
                                     "3",
                                     "--junit",
                                     Work("junit.xml"),
                                     "--json",
                                     Work("r.json"),
                                     "--html",
                                     Work("r.html"),
                                     Work("a-quick.sas"),
                                     Work("b-slow.sas"),
                                     Work("c-slow.sas")};
    const std::string outPath = Work("stdout.txt");
    test::ChildLaunch launch;
    launch.arguments = args;
    launch.output = outPath;
    test::WriteFile(Work("junit.xml"), "an earlier report");
    test::ChildProcess tamberlo(launch);

    // Interrupt once the quick one has ended and both slow ones sleep.
    const auto ready = [&] {
        std::size_t programs = 0;
        for (const std::string& name : test::RunFileNames(Temp())) programs += name.rfind("tmpSASProgram", 0) == 0;
        return programs == 2 && test::ReadFile(outPath).find("a-quick") != std::string::npos;
    };
    for (int wait = 0; wait < 400 && !ready(); ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(ready()) << test::ReadFile(outPath);
    EXPECT_EQ(test::ReadFile(Work("junit.xml")), "an earlier report") << "the report was touched before the end";
    tamberlo.Interrupt();

    const test::ChildResult ended = tamberlo.Wait();
    ASSERT_EQ(ended.signal, 0) << "tamberlo died of the signal";
    EXPECT_EQ(ended.exitCode, 130);
    EXPECT_FALSE(ended.leftProcesses);
    // The programs that did not finish are there, and say why.
    const std::string junit = test::ReadFile(Work("junit.xml"));
    EXPECT_EQ(ValidateJUnit(Work("junit.xml")), "");
    EXPECT_THAT(junit, HasSubstr(" tests=\"3\" failures=\"0\" errors=\"0\""));
    EXPECT_THAT(junit, HasSubstr("<property name=\"interrupted\" value=\"2 of 3 programs did not finish\"/>"));
    EXPECT_THAT(junit, HasSubstr("<testcase name=\"a-quick\""));
    for (const char* name : {"b-slow", "c-slow"}) {
        EXPECT_THAT(junit,
                    testing::ContainsRegex(std::string("<testcase name=\"") + name +
                                           "\"[^>]*>\\s*<skipped message=\"not run: the batch was interrupted\"/>"));
    }
    std::map<std::string, std::string> verdicts;
    for (const auto& [name, facts] : Facts(nlohmann::json::parse(test::ReadFile(Work("r.json")))))
        verdicts[name] = facts.at("verdict");
    EXPECT_EQ(verdicts,
              (std::map<std::string, std::string>{{"a-quick", "clean"}, {"b-slow", "not run"}, {"c-slow", "not run"}}));
    const std::string html = test::ReadFile(Work("r.html"));
    for (const char* name : {"b-slow", "c-slow"})
        EXPECT_THAT(html, HasSubstr(std::string("<tr data-verdict=\"not-run\" data-name=\"") + name));
    EXPECT_THAT(html, HasSubstr("<span>1 of 3 programs (interrupted)</span>"));
    EXPECT_THAT(test::ReadFile(outPath),
                HasSubstr("\n1 of 3 programs: 1 clean, 0 warnings, 0 failed, 0 errors, 0 time limits; "));
}
#endif

#ifndef _WIN32
// In a shell: under nohup a hangup leaves the run alone, and a reader that
// goes away (`| head -1`) stops SAS and the rest of the batch with nothing
// left behind, long before the sleeping programs would have ended.
TEST_F(BatchCommand, InTheBackgroundAndInAPipelineNothingIsLeftBehind) {
    for (const char* name : {"a1", "a2", "a3", "a4", "a5", "a6"})
        Program(std::string("progs/") + name + ".sas", "data _null_; call sleep(0.2); run;\r\n");
    for (const char* name : {"s1", "s2", "s3"})
        Program(std::string("progs/") + name + ".sas", "data _null_; call sleep(60); run;\r\n");
    struct Case {
        const char* name;
        const char* script;
        const char* out;
    } const cases[] = {
        {"nohup",
         "trap '' HUP; \"$T\" --sas-root \"$R\" -e \"data _null_; call sleep(1); run;\" >/dev/null 2>&1 & "
         "pid=$!; sleep 0.3; kill -HUP $pid; wait $pid; echo \"exit $?\"",
         "exit 0\n"},
        {"| head -1", "\"$T\" batch --sas-root \"$R\" -j 2 progs | head -1", "clean      a"},
    };
    for (const Case& c : cases) {
        test::ChildLaunch launch;
        launch.arguments = {"/bin/sh", "-c", c.script};
        launch.environment = {{"T", tamberloProgram}, {"R", standInRoot}};
        launch.directory = Work();
        launch.output = Work("stdout.txt");
        const auto start = std::chrono::steady_clock::now();
        const test::ChildResult ended = test::ChildProcess(launch).Wait();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << c.name;
        EXPECT_FALSE(ended.leftProcesses) << c.name;
        EXPECT_THAT(test::ReadFile(Work("stdout.txt")), StartsWith(c.out)) << c.name;
        EXPECT_THAT(test::ListFolder(Temp()), IsEmpty()) << c.name;
    }
}
#endif

// Whatever bytes a log holds, the reports stay well-formed: characters XML
// 1.0 cannot carry are replaced (U+FFFE, U+FFFF, surrogates, bytes that are
// no UTF-8) or shown as %<code> (controls), and the JSON parses.
TEST_F(BatchCommand, ReportsStayWellFormedWhateverTheLogHolds) {
    Program("odd.sas",
            "data _null_; put 'a\x01"
            "b \xEF\xBF\xBE \xEF\xBF\xBF <&> \"q\"'; foo; run;\r\n");
    test::WriteFile(Work("junit.xml"), "the report of an earlier batch");
    const test::ToolResult result =
        Batch({"--raw", "--encoding", "UTF-8", "--junit", "junit.xml", "--json", "r.json", "odd.sas"});
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_EQ(ValidateJUnit(Work("junit.xml")), "");
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r.json")));
    EXPECT_THAT(test::ReadFile(Work("junit.xml")),
                HasSubstr("put 'a%1b \xEF\xBF\xBD \xEF\xBF\xBD &lt;&amp;&gt; &quot;q&quot;'; foo; run;"));
    EXPECT_THAT(std::string(report.at("programs").at(0).at("log")),
                HasSubstr("put 'a\x01"
                          "b \xEF\xBF\xBE \xEF\xBF\xBF <&> \"q\"'"));
    EXPECT_EQ(test::ListFolder(Work("")), (std::vector<std::string>{"junit.xml", "odd.sas", "r.json"}));
}

// JSON and JUnit embed a log up to 256 KiB, cut after a whole line (within
// a line longer than a piece of the file, between two characters), and then
// say so and where the whole log is.
TEST_F(BatchCommand, ReportsEmbedALogUpTo256KiB) {
    const auto lines = [](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += std::string(98, 'x') + "\r\n";
        return text;
    };
    std::string accents = "x";
    for (int i = 0; i < 150000; ++i) accents += "\xC3\xA9";
    const std::string note = "[The log is cut here: the first 256 KiB of 292 KiB are shown; the whole log: ";
    const struct {
        std::string log;       // of `tamberlo scan`
        std::size_t shown;     // its bytes embedded
        std::string embedEnd;  // what follows them
    } scans[] = {
        {lines(2621), 262100, ""},
        {lines(3000), 262100, note + "s.log]\n"},
        {std::string(300000, 'x'), 262144, "\n" + note + "s.log]\n"},
        {accents, 262143, "\n" + note + "s.log]\n"},
    };
    const auto embedded = [&](const std::string& junit, const std::string& json) {
        const std::size_t start = junit.find("<system-out>") + 12;
        std::string inJUnit = junit.substr(start, junit.find("</system-out>") - start);
        for (const auto& [escaped, character] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
            for (std::size_t at = 0; (at = inJUnit.find(escaped, at)) != std::string::npos; ++at)
                inJUnit.replace(at, std::string_view(escaped).size(), character);
        }
        const std::string inJson = nlohmann::json::parse(test::ReadFile(Work(json))).at("programs").at(0).at("log");
        EXPECT_EQ(inJUnit, inJson);
        return inJson;
    };
    for (const auto& c : scans) {
        SCOPED_TRACE(c.log.size());
        WriteWork("s.log", c.log);
        const test::ToolResult result = Scan({"--encoding", "UTF-8", "--junit", "s.xml", "--json", "s.json", "s.log"});
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_EQ(ValidateJUnit(Work("s.xml")), "");
        EXPECT_EQ(embedded(test::ReadFile(Work("s.xml")), "s.json"), c.log.substr(0, c.shown) + c.embedEnd);
    }
    // A batch's log stays only with --out.
    WriteWork("big.sas", "/*\r\n" + lines(3000) + "*/\r\n");
    const struct {
        std::vector<std::string> out;
        std::string whole;
    } batches[] = {{{}, "--out keeps the whole log"}, {{"--out", "kept"}, "the whole log: kept[/\\\\]big\\.log"}};
    for (const auto& c : batches) {
        std::vector<std::string> arguments = c.out;
        arguments.insert(arguments.end(), {"--junit", "b.xml", "--json", "b.json", "big.sas"});
        const test::ToolResult result = Batch(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
        EXPECT_EQ(ValidateJUnit(Work("b.xml")), "");
        const std::string log = embedded(test::ReadFile(Work("b.xml")), "b.json");
        EXPECT_TRUE(
            std::regex_search(log, std::regex("x\r\n\\[The log is cut here: the first 256 KiB of 3[0-9][0-9] KiB "
                                              "are shown; " +
                                              c.whole + "\\]\n$")))
            << log.substr(log.size() - 200);
        EXPECT_LE(log.size(), 262144 + 200);
    }
}

// Every report decodes the log and its findings from the run's session
// encoding, a byte it does not hold as U+FFFD.
TEST_F(BatchCommand, ReportsDecodeTheLogFromTheSessionEncoding) {
    const struct {
        const char* encoding;
        std::string written;  // in the program file and the log, as SAS has them
        std::string utf8;     // in the reports
    } cases[] = {
        {"UTF-8",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         "Gr\u00FC\u00DFe \u20AC"},
        {"WLATIN1",
         "Gr\xFC\xDF"
         "e \x80",
         "Gr\u00FC\u00DFe \u20AC"},
        {"SHIFT-JIS", "\x93\xFA\x96\x7B\x8C\xEA", "\u65E5\u672C\u8A9E"},
        {"UTF-8", "caf\xE9!", "caf\uFFFD!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + c.utf8);
        Program("w.sas", "%put WARNING: " + c.written + ";\r\nfoo;\r\n");
        const test::ToolResult result =
            Batch({"--encoding", c.encoding, "--junit", "j.xml", "--json", "r.json", "--html", "r.html", "w.sas"});
        ASSERT_EQ(result.exitCode, 2) << result.out << result.err;
        const std::string warning = "WARNING: " + c.utf8;
        const nlohmann::json program = nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0);
        EXPECT_THAT(program.at("findings").dump(), HasSubstr("\"text\":" + nlohmann::json(warning).dump() + "}"));
        EXPECT_THAT(program.at("log").get<std::string>(), HasSubstr("\r\n" + warning + "\r\n"));
        const std::string junit = test::ReadFile(Work("j.xml"));
        EXPECT_THAT(junit, HasSubstr("w.sas:1: " + warning + " (log line "));
        EXPECT_THAT(junit, HasSubstr("\r\n" + warning + "\r\n"));
        EXPECT_THAT(test::ReadFile(Work("r.html")), HasSubstr("program line 1: " + warning + "</li>"));
    }
}

// --out keeps the bytes SAS wrote whatever --raw says; the reports follow
// --raw as the terminal does.
TEST_F(BatchCommand, OutKeepsSASsBytesAndTheReportsFollowRaw) {
    Program("esc.sas",
            "%put A\x1B"
            "B;\r\n");
    for (const auto& [raw, shown] : {std::pair{false, "A%27B"}, std::pair{true,
                                                                          "A\x1B"
                                                                          "B"}}) {
        std::vector<std::string> arguments{"--out", "res", "--json", "r.json", "esc.sas"};
        if (raw) arguments.insert(arguments.begin(), "--raw");
        ASSERT_EQ(Batch(arguments).exitCode, 0);
        EXPECT_THAT(test::ReadFile(Work("res/esc.log")), HasSubstr("\r\nA\x1B"
                                                                   "B\r\n"))
            << raw;
        const nlohmann::json program = nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0);
        EXPECT_THAT(program.at("log").get<std::string>(), HasSubstr(std::string("\r\n") + shown + "\r\n")) << raw;
    }
}

// A batch killed while it writes its reports leaves temporary files that
// name its process; the next batch writing the same report removes those,
// and the scratch folders of batches that are gone, but nothing of a
// process that still runs.
TEST_F(BatchCommand, TheNextBatchRemovesWhatAKilledOneLeft) {
    Program("a.sas", "data _null_; run;\r\n");
    const std::string host = cli::console::HostName();
    const std::string gone = "999999999@" + host, running = std::to_string(cli::console::ProcessId()) + "@" + host;
    for (const std::string& name :
         {"j.xml." + gone + ".12.tmp", "j.xml." + running + ".13.tmp", "other.xml." + gone + ".14.tmp"}) {
        test::WriteFile(Work(name), "half a report");
    }
    for (const std::string& name : {"tmpBatch." + gone + ".15", "tmpBatch." + running + ".16"}) {
        fs::create_directory(Temp() + name);
        test::WriteFile(Temp() + name + "/a.log", "a log");
    }
    ASSERT_EQ(Batch({"--junit", "j.xml", "a.sas"}).exitCode, 0);
    EXPECT_EQ(test::ListFolder(Work()), (std::vector<std::string>{"a.sas", "j.xml", "j.xml." + running + ".13.tmp",
                                                                  "other.xml." + gone + ".14.tmp"}));
    EXPECT_EQ(test::ListFolder(Temp()), std::vector<std::string>{"tmpBatch." + running + ".16"});
    fs::remove_all(Temp() + "tmpBatch." + running + ".16");
}

// A line far longer than the pieces a log is read in reaches every report
// whole, without a character cut in two, and a finding after it links to
// its own line in the page.
TEST_F(BatchCommand, LongLinesReachTheReportsWhole) {
    const struct {
        const char* encoding;
        std::string unit;  // as SAS writes it
    } cases[] = {{"UTF-8",
                  "\xE6\x97\xA5"
                  "x"},
                 {"SHIFT-JIS",
                  "\x93\xFA"
                  "x"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoding);
        std::string line, shown;
        while (shown.size() < 200 * 1000) {
            line += c.unit;
            shown += "\u65E5x";
        }
        Program("long.sas", "* " + line + ";\r\nfoo;\r\n");
        ASSERT_EQ(
            Batch({"--encoding", c.encoding, "--junit", "j.xml", "--json", "r.json", "--html", "r.html", "long.sas"})
                .exitCode,
            2);
        const nlohmann::json program = nlohmann::json::parse(test::ReadFile(Work("r.json"))).at("programs").at(0);
        const std::string log = program.at("log");
        EXPECT_THAT(log, HasSubstr("* " + shown + ";\r\n"));
        EXPECT_EQ(log.find("\uFFFD"), std::string::npos);
        EXPECT_THAT(test::ReadFile(Work("j.xml")), HasSubstr("* " + shown + ";\r\n"));
        const std::string logLine = program.at("findings").at(0).at("logLine").dump();
        EXPECT_THAT(test::ReadFile(Work("r.html")),
                    HasSubstr("<span class=\"E\" id=\"p0-l" + logLine + "\">ERROR 180-322: "));
    }
}

// Read in pieces, a text of any encoding is cut between characters only.
TEST(ReportText, PiecesEndBetweenCharacters) {
    const test::TempFolder folder;
    const std::pair<const char*, std::string> cases[] = {{"UTF-8", "\xE6\x97\xA5\xF0\x9F\x98\x80\xC3\xA9x"},
                                                         {"SHIFT-JIS",
                                                          "\x93\xFA\x96\x7B"
                                                          "x"},
                                                         {"EUC-JP",
                                                          "\xC6\xFC\x8E\xB1"
                                                          "x"},
                                                         {"BIG5",
                                                          "\xA4\xA4"
                                                          "x"},
                                                         {"WLATIN1", "\xE9x"}};
    for (const auto& [name, unit] : cases) {
        const SessionEncoding encoding = *SessionEncoding::FromName(name);
        for (std::size_t offset = 0; offset < unit.size(); ++offset) {
            std::string text(offset, '.');
            while (text.size() < 300 * 1000) text += unit;
            test::WriteFile(folder / "text", text);
            std::string joined;
            cli::report_text::ForEachPiece(folder / "text", encoding, false, [&](std::string_view piece) {
                EXPECT_EQ(piece.find("\uFFFD"), std::string_view::npos) << name << " " << offset;
                joined += piece;
            });
            EXPECT_TRUE(joined == encoding.ToUtf8(text)) << name << " " << offset;
        }
    }
}

#ifndef _WIN32
// The table on a terminal lines names up by the columns they take, not
// their bytes: a CJK character takes two.
TEST(BatchProgress, TheTableLinesUpNamesOfAnyScript) {
    std::vector<cli::ProgramOutcome> outcomes(3);
    outcomes[0].program.name = "Gr\u00FC\u00DFe";
    outcomes[1].program.name = "\u65E5\u672Ca";
    outcomes[2].program.name = "abcde";
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    cli::BatchProgress(out, true, outcomes.size()).Finish(outcomes, false);
    std::rewind(out);
    char line[256];
    std::vector<std::string> lines;
    while (std::fgets(line, sizeof line, out)) lines.emplace_back(line);
    std::fclose(out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], outcomes[0].program.name + lines[3].substr(5));
    EXPECT_EQ(lines[2], outcomes[1].program.name + lines[3].substr(5));
}
#endif

// What a log of any session encoding can hold, as the reports write it.
TEST(ReportText, XmlAndJsonCarryEveryTextWellFormed) {
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases{
        // text, XML character data, XML attribute, JSON string
        {"a<b>&\"c\"", "a&lt;b&gt;&amp;&quot;c&quot;", "a&lt;b&gt;&amp;&quot;c&quot;", "a<b>&\\\"c\\\""},
        {"\t\r\n\x01\x1f", "\t\r\n%1%31", "&#9;&#13;&#10;%1%31", "\\t\\r\\n\\u0001\\u001f"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", fffd + fffd, fffd + fffd, "\xEF\xBF\xBE\xEF\xBF\xBF"},
        {"\xED\xA0\x80|\xED\xBF\xBF", fffd + "|" + fffd, fffd + "|" + fffd, fffd + "|" + fffd},
        {"\xC0\xAF\xFF\xE2\x82", fffd + fffd + fffd + fffd + fffd, fffd + fffd + fffd + fffd + fffd,
         fffd + fffd + fffd + fffd + fffd},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80",
         "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, xml, attribute, json] : cases) {
        EXPECT_EQ(cli::report_text::Xml(text), xml) << text;
        EXPECT_EQ(cli::report_text::Xml(text, true), attribute) << text;
        std::string out;
        cli::report_text::AppendJson(out, text);
        EXPECT_EQ(out, json) << text;
        EXPECT_TRUE(nlohmann::json::accept("\"" + out + "\"")) << text;
    }
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

#ifndef _WIN32
// The HTML report in a real browser: it loads without errors, a query
// filters it by verdict and a finding's link opens its program at the line.
TEST_F(BatchCommand, HtmlReportWorksInABrowser) {
    Program("a-clean.sas", "data _null_; file print; put 'listed <here>'; run;\r\n");
    Program("b-warn.sas", "filename nothing;\r\n");
    Program("c-error.sas", "data _null_;\r\nfoo;\r\nrun;\r\n");
    const test::ToolResult result =
        Batch({"--html", "report.html", "--out", "out", "a-clean.sas", "b-warn.sas", "c-error.sas"});
    ASSERT_EQ(result.exitCode, 2) << result.out << result.err;
    const std::string page = test::ReadFile(Work("report.html"));
    for (const char* external : {"http:", "https:", " src=", "<link", "@import", "url("}) {
        EXPECT_THAT(page, testing::Not(HasSubstr(external))) << "the page must need nothing from outside";
    }
    EXPECT_THAT(page, HasSubstr("<span class=\"N\">NOTE: DATA statement used (Total process time):</span>"));
    EXPECT_THAT(page,
                HasSubstr("<span class=\"W\" id=\"p1-l5\">WARNING: No logical assign for filename NOTHING.</span>"));
    EXPECT_THAT(page, HasSubstr("<pre class=\"lst\">"));
    EXPECT_THAT(page, HasSubstr("listed &lt;here&gt;"));

    // The DOM once the page's script has run, opened as a person's link would.
    const auto dom = [&](const std::string& address) {
        const std::string profile = Work("profile");
        const std::string command =
            "chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking "
            "--disable-component-update --disable-sync --user-data-dir='" +
            profile + "' --dump-dom 'file://" + Work("report.html") + address + "' > '" + Work("dom.html") + "' 2> '" +
            Work("chromium.txt") + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << test::ReadFile(Work("chromium.txt"));
        fs::remove_all(profile);
        return test::ReadFile(Work("dom.html"));
    };
    const std::string filtered = dom("?verdict=failed,warnings#p2-l8");
    EXPECT_THAT(filtered, HasSubstr("data-ready=\"yes\"")) << "the page's script did not run to its end";
    EXPECT_THAT(filtered, testing::Not(HasSubstr("data-errors="))) << filtered.substr(0, 300);
    EXPECT_TRUE(std::regex_search(filtered, std::regex("<tr data-verdict=\"clean\"[^>]* hidden=\"\"")));
    EXPECT_TRUE(std::regex_search(filtered, std::regex("<tr data-verdict=\"failed\" data-name=\"c-error\"[^>]*><td>")));
    EXPECT_TRUE(std::regex_search(
        filtered, std::regex("<details class=\"program\" id=\"p2\" data-verdict=\"failed\" open=\"\">")));
    EXPECT_THAT(filtered, HasSubstr("<span class=\"E target\" id=\"p2-l8\">ERROR 180-322: Statement is not valid"));
    EXPECT_THAT(filtered, HasSubstr("<a href=\"#p2-l8\">log line 8</a>, program line 2: ERROR 180-322"));

    const std::string sorted = dom("?sort=findings");
    EXPECT_THAT(sorted, HasSubstr("data-sorted=\"findings descending\""));
    const std::size_t clean = sorted.find("data-name=\"a-clean\""), warn = sorted.find("data-name=\"b-warn\""),
                      failed = sorted.find("data-name=\"c-error\"");
    EXPECT_TRUE(failed < warn && warn < clean) << "rows not in the order of their findings, most first";

    // A mangled link (not percent-encoded UTF-8, a verdict or key the page
    // does not know) loses only its mangled part.
    const std::string mangledQuery = dom("?verdict=%E0%A4&sort=%E0%A4#p2-l8");
    const std::string mangledFragment = dom("?sort=findings#%E0%A4");
    for (const std::string& page : {mangledQuery, mangledFragment}) {
        EXPECT_THAT(page, HasSubstr("data-ready=\"yes\""));
        EXPECT_THAT(page, testing::Not(HasSubstr("data-errors="))) << page.substr(0, 300);
        EXPECT_THAT(page, testing::Not(HasSubstr(" hidden=")));
    }
    EXPECT_THAT(mangledQuery, testing::Not(HasSubstr("data-sorted=")));
    EXPECT_THAT(mangledQuery, HasSubstr("<span class=\"E target\" id=\"p2-l8\">"));
    EXPECT_THAT(mangledFragment, HasSubstr("data-sorted=\"findings descending\""));
}
#endif

// --shard auto: the part of a job array's task, from its scheduler's variables.
TEST(SchedulerShard, TakesThePartFromTheJobArraysScheduler) {
    using Variables = std::map<std::string, std::string>;
    struct Case {
        Variables variables;
        std::optional<int> count;
        std::string found;  // "K/N from ...", or the usage error
    };
    const std::vector<Case> cases{
        {{{"SLURM_ARRAY_TASK_ID", "5"}, {"SLURM_ARRAY_TASK_MIN", "4"}, {"SLURM_ARRAY_TASK_COUNT", "8"}},
         {},
         "2/8 from Slurm (SLURM_ARRAY_TASK_ID=5, SLURM_ARRAY_TASK_MIN=4, SLURM_ARRAY_TASK_COUNT=8)"},
        {{{"SLURM_ARRAY_TASK_ID", "7"},
          {"SLURM_ARRAY_TASK_MIN", "1"},
          {"SLURM_ARRAY_TASK_COUNT", "4"},
          {"SLURM_ARRAY_TASK_STEP", "2"},
          {"CI_NODE_INDEX", "1"}},
         {},
         "4/4 from Slurm (SLURM_ARRAY_TASK_ID=7, SLURM_ARRAY_TASK_MIN=1, SLURM_ARRAY_TASK_COUNT=4, SLURM_ARRAY_TASK_STEP=2)"},
        {{{"SLURM_ARRAY_TASK_ID", "0"}, {"SLURM_ARRAY_TASK_MIN", "0"}, {"SLURM_ARRAY_TASK_COUNT", "3"}},
         4,
         "--shard auto/4: Slurm (SLURM_ARRAY_TASK_ID=0, SLURM_ARRAY_TASK_MIN=0, SLURM_ARRAY_TASK_COUNT=3) makes 3 parts"},
        {{{"SLURM_ARRAY_TASK_ID", "2"}}, {}, "--shard auto: Slurm's SLURM_ARRAY_TASK_MIN is not set"},
        {{{"LSB_JOBINDEX", "6"}, {"LSB_JOBNAME", "nightly[2-10:2]"}},
         {},
         "3/5 from LSF (LSB_JOBINDEX=6, LSB_JOBNAME=nightly[2-10:2])"},
        {{{"LSB_JOBINDEX", "3"}, {"LSB_JOBNAME", "nightly"}}, 4, "3/4 from LSF (LSB_JOBINDEX=3, LSB_JOBNAME=nightly)"},
        {{{"LSB_JOBINDEX", "0"}},
         {},
         "--shard auto: no job array found (none of SLURM_ARRAY_TASK_ID, LSB_JOBINDEX, "
         "JOB_COMPLETION_INDEX, CI_NODE_INDEX is set)"},
        {{{"JOB_COMPLETION_INDEX", "0"}}, 3, "1/3 from Kubernetes (JOB_COMPLETION_INDEX=0)"},
        {{{"JOB_COMPLETION_INDEX", "3"}}, 3, "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=3) gives part 4 of 3"},
        {{{"JOB_COMPLETION_INDEX", "0"}},
         {},
         "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=0) does not say the number of parts: give --shard auto/N"},
        {{{"CI_NODE_INDEX", "2"}, {"CI_NODE_TOTAL", "4"}}, {}, "2/4 from GitLab CI (CI_NODE_INDEX=2, CI_NODE_TOTAL=4)"},
        {{{"CI_NODE_INDEX", "x"}, {"CI_NODE_TOTAL", "4"}},
         {},
         "--shard auto: GitLab CI's CI_NODE_INDEX is not a number: x"},
        // Values beyond any job array: refused, never an overflow.
        {{{"LSB_JOBINDEX", "1"}, {"LSB_JOBNAME", "x[1-99999999999999999999]"}},
         {},
         "--shard auto: LSF (LSB_JOBINDEX=1, LSB_JOBNAME=x[1-99999999999999999999]): the range is out of range (0 to "
         "2147483647): 99999999999999999999"},
        {{{"LSB_JOBINDEX", "99999999999999999999"}},
         2,
         "--shard auto: LSF's LSB_JOBINDEX is out of range (0 to 2147483647): 99999999999999999999"},
        {{{"LSB_JOBINDEX", "3"}, {"LSB_JOBNAME", "x[5-9]"}},
         {},
         "--shard auto: LSF (LSB_JOBINDEX=3, LSB_JOBNAME=x[5-9]) is no evenly stepped array"},
        {{{"SLURM_ARRAY_TASK_ID", "9223372036854775807"}, {"SLURM_ARRAY_TASK_MIN", "-9223372036854775807"}},
         {},
         "--shard auto: Slurm's SLURM_ARRAY_TASK_ID is out of range (0 to 2147483647): 9223372036854775807"},
        {{{"SLURM_ARRAY_TASK_ID", "1"}, {"SLURM_ARRAY_TASK_MIN", "-1"}, {"SLURM_ARRAY_TASK_COUNT", "2"}},
         {},
         "--shard auto: Slurm's SLURM_ARRAY_TASK_MIN is out of range (0 to 2147483647): -1"},
        {{{"SLURM_ARRAY_TASK_ID", "1"},
          {"SLURM_ARRAY_TASK_MIN", "1"},
          {"SLURM_ARRAY_TASK_COUNT", "2"},
          {"SLURM_ARRAY_TASK_STEP", "0"}},
         {},
         "--shard auto: Slurm (SLURM_ARRAY_TASK_ID=1, SLURM_ARRAY_TASK_MIN=1, "
         "SLURM_ARRAY_TASK_COUNT=2, SLURM_ARRAY_TASK_STEP=0) is no evenly stepped array"},
        {{{"JOB_COMPLETION_INDEX", "2147483647"}},
         3,
         "--shard auto: Kubernetes (JOB_COMPLETION_INDEX=2147483647) gives part 2147483648 of 3"},
        {{{"CI_NODE_INDEX", "1"}, {"CI_NODE_TOTAL", " 4"}},
         {},
         "--shard auto: GitLab CI's CI_NODE_TOTAL is not a number:  4"},
    };
    for (const Case& c : cases) {
        const auto environment = [&c](const char* name) -> std::optional<std::string> {
            const auto found = c.variables.find(name);
            if (found == c.variables.end()) return std::nullopt;
            return found->second;
        };
        std::string found;
        try {
            const cli::SchedulerShard::Found shard = cli::SchedulerShard::FromEnvironment(c.count, environment);
            found = shard.shard.Text() + " from " + shard.from;
        } catch (const cli::UsageError& error) {
            found = error.what();
        }
        EXPECT_EQ(found, c.found);
    }
}

// The command says which scheduler it used; with none it is a usage error.
TEST_F(BatchCommand, ShardAutoSaysWhereItCameFrom) {
    Program("set/a.sas", "data _null_; run;\r\n");
    Program("set/b.sas", "data _null_; run;\r\n");
    const test::ScopedEnvironment index("CI_NODE_INDEX", "2");
    const test::ScopedEnvironment total("CI_NODE_TOTAL", "2");
    const test::ToolResult result = Batch({"--shard", "auto", "--junit", ".xml", "set"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_THAT(result.out,
                testing::StartsWith("tamberlo: shard 2/2 from GitLab CI (CI_NODE_INDEX=2, CI_NODE_TOTAL=2)\n"));
    EXPECT_THAT(test::ReadFile(Work("2of2.xml")), HasSubstr("<testcase name=\"b\""));

    const test::ScopedEnvironment lsfIndex("LSB_JOBINDEX", "1");
    const test::ScopedEnvironment lsfName("LSB_JOBNAME", "x[1-99999999999999999999]");
    const test::ToolResult refused = Batch({"--shard", "auto", "set"});
    EXPECT_EQ(refused.exitCode, 64);
    EXPECT_THAT(refused.err,
                StartsWith("tamberlo: --shard auto: LSF (LSB_JOBINDEX=1, LSB_JOBNAME=x[1-99999999999999999999]): "));
}

#ifndef _WIN32
// A folder that cannot be read (here: its path is longer than the system
// takes, which stops root too) is one failed entry; the rest runs.
TEST_F(BatchCommand, AnUnreadableFolderIsOneProblemOfTheBatch) {
    Program("tree/ok.sas", "data _null_; run;\r\n");
    // Made folder by folder below an open one: no call here takes the whole path.
    const std::string part(200, 'd');
    int folder = open(Work("tree").c_str(), O_RDONLY | O_DIRECTORY);
    for (int depth = 0; depth < 24 && folder >= 0; ++depth) {
        const int deeper =
            mkdirat(folder, part.c_str(), 0700) == 0 ? openat(folder, part.c_str(), O_RDONLY | O_DIRECTORY) : -1;
        close(folder);
        folder = deeper;
    }
    ASSERT_GE(folder, 0) << "cannot make the deep folders";
    const int program = openat(folder, "deep.sas", O_CREAT | O_WRONLY, 0600);
    close(folder);
    ASSERT_GE(program, 0);
    close(program);
    const test::ToolResult result = Batch({"--recursive", "--json", "r.json", "--junit", "junit.xml", "tree"});
    ASSERT_EQ(std::system(("rm -rf '" + Work("tree") + part + "'").c_str()), 0);
    EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
    EXPECT_THAT(result.err, IsEmpty());
    EXPECT_THAT(result.out, HasSubstr(": cannot read the folder: File name too long\n"));
    const auto facts = Facts(nlohmann::json::parse(test::ReadFile(Work("r.json"))));
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_EQ(facts.at("ok").at("verdict"), "clean");
    const nlohmann::json& unreadable = facts.begin()->second;  // "dd...d/" sorts before "ok"
    EXPECT_EQ(unreadable.at("verdict"), "error");
    EXPECT_EQ(std::string(unreadable.at("name")).back(), '/');
    EXPECT_THAT(std::string(unreadable.at("problem")), HasSubstr("cannot read the folder: File name too long"));
    EXPECT_EQ(ValidateJUnit(Work("junit.xml")), "");
}
#endif

#ifdef _WIN32
// Windows hands wildcards to the program: the command expands them itself,
// in any letter case, and keeps a pattern that matches nothing as a name.
TEST_F(BatchCommand, WildcardsInProgramArgumentsAreExpanded) {
    for (const char* name : {"w/a1.sas", "w/a2.SAS", "w/b.sas", "w/a3.txt"}) Program(name, "data _null_; run;\r\n");
    const test::ToolResult result = Batch({"--json", "r.json", "W\\A?.*s", "w\\none*.sas"});
    EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
    const auto facts = Facts(nlohmann::json::parse(test::ReadFile(Work("r.json"))));
    std::vector<std::string> names;
    for (const auto& [name, fact] : facts) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"a1", "a2", "none*"}));
}
#endif

// Folders and programs named in any script are found, run, written under
// their own names and reported in UTF-8, whatever the ANSI code page holds.
TEST_F(BatchCommand, NamesInAnyScriptAreFoundWrittenAndReportedWhole) {
    const fs::path folder = fs::path(Work()) / u8"Pr\u00FCfung";
    const std::u8string names[] = {u8"Gr\u00FC\u00DFe", u8"\u65E5\u672C"};
    fs::create_directory(folder);
    for (const std::u8string& name : names)
        std::ofstream(folder / (name + u8".sas")) << "data _null_; file _put1; put 'x'; run;\r\n";
    const test::ToolResult result =
        Batch({"--out", "Ergebnisse", "--json", "r.json", "--junit", "j.xml", folder.filename().string()});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const auto facts = Facts(nlohmann::json::parse(test::ReadFile(Work("r.json"))));
    const std::string junit = test::ReadFile(Work("j.xml"));
    for (const std::u8string& name : names) {
        const std::string utf8(name.begin(), name.end());
        SCOPED_TRACE(utf8);
        EXPECT_EQ(facts.at(utf8).at("file"), (fs::path(u8"Pr\u00FCfung") / (name + u8".sas")).string());
        EXPECT_THAT(junit, HasSubstr("<testcase name=\"" + utf8 + "\""));
        const fs::path out = fs::path(Work()) / "Ergebnisse";
        EXPECT_TRUE(fs::exists(out / (name + u8".log")));
        std::ifstream put(out / name / "_PUT1.txt", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(put), {}), "x\r\n");
    }
}
