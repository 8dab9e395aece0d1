// `tamberlo batch` run for real against the SAS stand-in: what it runs, in
// which order and shard, its exit status, the terminal, the outputs on disk
// and what is left behind. What its reports hold is in tests/cli/reports,
// how it judges a program in tests/cli/findings.

#include "BatchCommandTest.h"
#include "ChildProcess.h"
#include "JunitSchema.h"
#include "TestSupport.h"
#include "cli/batch/ProgramList.h"

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

using test::ValidateJUnit;

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

using BatchCommand = test::BatchCommandTest;

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
