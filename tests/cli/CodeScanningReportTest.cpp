// The code-scanning reports (--sarif, --codequality) of the batch and of a
// single run, checked as their readers check them.

#include "CommandTest.h"
#include "TestSupport.h"
#include "cli/reports/SarifReport.h"
#include "cli/reports/SourceRoot.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace tamberlo;
using nlohmann::json;
using testing::Contains;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::StartsWith;

namespace {

namespace fs = std::filesystem;

// The complaints of the checker (the OASIS schema and GitHub's limits)
// about a SARIF report; empty when it validates.
std::string ValidateSarif(const std::string& report) {
#ifdef _WIN32
    // Under Wine there is no Python; the native run checks the same writer.
    (void)report;
    return "";
#else
    const std::string data = TAMBERLO_TEST_DATA_DIR;
    const std::string messages = report + ".complaints";
    const std::string command = "/usr/bin/python3 '" + data + "/../ValidateSarif.py' '" + data +
                                "/sarif-schema-2.1.0.json' '" + report + "' > '" + messages + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string text = test::ReadFile(messages);
    fs::remove(messages);
    return status == 0 ? "" : text.empty() ? "the checker failed" : text;
#endif
}

// Each result as "rule level uri:line", in report order.
std::vector<std::string> Results(const json& sarif) {
    std::vector<std::string> results;
    for (const json& result : sarif.at("runs").at(0).at("results")) {
        std::string place = "-";
        if (result.contains("locations")) {
            const json& location = result.at("locations").at(0).at("physicalLocation");
            place = location.at("artifactLocation").at("uri").get<std::string>();
            if (location.contains("region")) place += ":" + location.at("region").at("startLine").dump();
        }
        results.push_back(result.at("ruleId").get<std::string>() + " " + result.at("level").get<std::string>() + " " +
                          place);
    }
    return results;
}

// Each issue as "check severity path:line", after checking that it has
// every field GitLab requires, of its type, and a fingerprint of its own.
std::vector<std::string> Issues(const json& report) {
    std::vector<std::string> issues;
    std::set<std::string> fingerprints;
    const std::set<std::string> severities{"info", "minor", "major", "critical", "blocker"};
    EXPECT_TRUE(report.is_array());
    for (const json& issue : report) {
        EXPECT_TRUE(issue.at("description").is_string() && !issue.at("description").empty()) << issue;
        EXPECT_TRUE(issue.at("check_name").is_string()) << issue;
        EXPECT_TRUE(fingerprints.insert(issue.at("fingerprint").get<std::string>()).second) << issue;
        EXPECT_TRUE(severities.count(issue.at("severity").get<std::string>())) << issue;
        const json& location = issue.at("location");
        EXPECT_TRUE(location.at("lines").at("begin").is_number_integer()) << issue;
        issues.push_back(issue.at("check_name").get<std::string>() + " " + issue.at("severity").get<std::string>() +
                         " " + location.at("path").get<std::string>() + ":" + location.at("lines").at("begin").dump());
    }
    return issues;
}

std::vector<std::string> Fingerprints(const json& sarif) {
    std::vector<std::string> fingerprints;
    for (const json& result : sarif.at("runs").at(0).at("results"))
        fingerprints.push_back(result.at("partialFingerprints").at("tamberloIssue/v1"));
    return fingerprints;
}

class CodeScanningReport : public test::CommandTest {
protected:
    json Report(const std::string& name) { return json::parse(test::ReadFile(Work(name))); }
};

}  // namespace

// Every finding at its program line, a failure without one on its program,
// rules described, locations relative to the source root and escaped, the
// same fingerprints from run to run, in both reports.
TEST_F(CodeScanningReport, TheBatchLocatesEachProblem) {
    // By a UTF-8 name: a narrow one is in the ANSI code page on Windows.
    const fs::path failingFile = fs::path(Work()) / fs::path(u8"progs/sub dir/err#1 \u00E9.sas");
    fs::create_directories(failingFile.parent_path());
    std::ofstream(failingFile, std::ios::binary) << "data _null_; run;\r\nfoo;\r\n";
    WriteWork("progs/warn.sas", "filename nothing;\r\n");
    WriteWork("progs/fail.sas", "data _null_; put 'CHECKME'; run;\r\n");
    const std::vector<std::string> arguments{"--out",       "out",     "--fail-on",     "mine=^CHECKME",
                                             "--sarif",     "r.sarif", "--codequality", "cq.json",
                                             "--recursive", "progs",   "missing.sas"};
    ASSERT_EQ(Batch(arguments).exitCode, 3);
    EXPECT_EQ(ValidateSarif(Work("r.sarif")), "");
    const json sarif = Report("r.sarif");
    const std::string failing = "progs/sub%20dir/err%231%20%C3%A9.sas";
    EXPECT_THAT(Results(sarif), ElementsAre("mine error progs/fail.sas:1", "tamberlo-error error missing.sas:1",
                                            "SAS180-322 error " + failing + ":2", "ERROR error " + failing + ":2",
                                            "WARNING warning progs/warn.sas:1"));
    EXPECT_THAT(Issues(Report("cq.json")),
                ElementsAre("mine major progs/fail.sas:1", "tamberlo-error critical missing.sas:1",
                            "SAS180-322 critical progs/sub dir/err#1 \xC3\xA9.sas:2",
                            "ERROR critical progs/sub dir/err#1 \xC3\xA9.sas:2", "WARNING minor progs/warn.sas:1"));

    // Described and named as every code-scanning host requires, in a run
    // whose id stays the same from batch to batch.
    const json& run = sarif.at("runs").at(0);
    std::map<std::string, std::string> names;
    for (const json& rule : run.at("tool").at("driver").at("rules")) {
        EXPECT_FALSE(rule.at("fullDescription").at("text").get<std::string>().empty()) << rule;
        names[rule.at("id").get<std::string>()] = rule.at("name").get<std::string>();
    }
    EXPECT_EQ(names, (std::map<std::string, std::string>{{"mine", "Mine"},
                                                         {"tamberlo-error", "TamberloError"},
                                                         {"SAS180-322", "SasMessage180_322"},
                                                         {"ERROR", "SasErrorLine"},
                                                         {"WARNING", "SasWarningLine"}}));
    EXPECT_EQ(run.at("automationDetails").at("id"), "tamberlo-batch/");
    EXPECT_THAT(run.at("tool").at("driver").at("fullName").get<std::string>(), StartsWith("Tamberlo "));
    const json& log = run.at("results").at(2).at("relatedLocations").at(0).at("physicalLocation");
    EXPECT_EQ(log.at("artifactLocation").at("uri"), "out/sub%20dir/err%231%20%C3%A9.log");
    EXPECT_GT(log.at("region").at("startLine").get<int>(), 2);
    EXPECT_EQ(run.at("results").at(2).at("message").at("text"),
              "ERROR 180-322: Statement is not valid or it is used out of proper order.");

    // A second run finds the same issues by the same fingerprints, in both reports.
    std::vector<std::string> fromCodeQuality;
    for (const json& issue : Report("cq.json")) fromCodeQuality.push_back(issue.at("fingerprint"));
    EXPECT_EQ(Fingerprints(sarif), fromCodeQuality);
    ASSERT_EQ(Batch(arguments).exitCode, 3);
    EXPECT_EQ(Fingerprints(Report("r.sarif")), fromCodeQuality);
}

// A hostile program name and log text (quotes, markup, control characters,
// invalid bytes, a megabyte line) still give valid reports with the text
// made valid UTF-8.
TEST_F(CodeScanningReport, HostileNamesAndLogsStillGiveValidReports) {
    WriteWork("odd.sas", "* " + std::string(1 << 20, 'x') +
                             ";\r\ndata _null_; put 'ERROR: <&> \"q\" \x01\x1B[2J \xFF\xFE end'; run;\r\n");
#ifndef _WIN32
    WriteWork("q\"<&>'.sas", "foo;\r\n");
#endif
    const test::ToolResult result =
        Batch({"--encoding", "UTF-8", "--sarif", "r.sarif", "--codequality", "cq.json", "."});
    ASSERT_NE(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(ValidateSarif(Work("r.sarif")), "");
    const json sarif = Report("r.sarif");
    const json issues = Report("cq.json");
    Issues(issues);
    EXPECT_THAT(test::ReadFile(Work("r.sarif")),
                HasSubstr("ERROR: <&> \\\"q\\\" \\u0001\\u001b[2J \xEF\xBF\xBD\xEF\xBF\xBD end"));
#ifndef _WIN32
    EXPECT_THAT(Results(sarif), Contains("SAS180-322 error q%22%3C%26%3E%27.sas:1"));
#endif
}

// The single run writes every report through the batch's writers, a
// failure without a finding included, and refuses report names as the
// batch does, before SAS starts.
TEST_F(CodeScanningReport, CheckWritesEveryReport) {
    WriteWork("prog.sas", "filename nothing;\r\n");
    const std::vector<std::string> reports{"--junit",       "r/j.xml",  "--html", "r/h.html", "--sarif", "r/s.sarif",
                                           "--codequality", "r/c.json", "--log",  "w.log",    "--check"};
    std::vector<std::string> arguments = reports;
    arguments.push_back("prog.sas");
    ASSERT_EQ(Run(arguments).exitCode, 1);
    EXPECT_EQ(ValidateSarif(Work("r/s.sarif")), "");
    EXPECT_THAT(Results(Report("r/s.sarif")), ElementsAre("WARNING warning prog.sas:1"));
    EXPECT_EQ(Report("r/s.sarif")
                  .at("runs")
                  .at(0)
                  .at("results")
                  .at(0)
                  .at("relatedLocations")
                  .at(0)
                  .at("physicalLocation")
                  .at("artifactLocation")
                  .at("uri"),
              "w.log");
    EXPECT_THAT(Issues(Report("r/c.json")), ElementsAre("WARNING minor prog.sas:1"));
    EXPECT_THAT(test::ReadFile(Work("r/j.xml")), HasSubstr("<testcase name=\"prog\" classname=\"tamberlo\""));
    EXPECT_THAT(test::ReadFile(Work("r/h.html")), HasSubstr("WARNING: No logical assign for filename NOTHING."));

    WriteWork("clean.sas", "data _null_; run;\r\n");
    {
        test::ScopedEnvironment exitCode("TAMBERLO_STANDIN_EXIT", "3");
        ASSERT_EQ(Run({"--check", "--sarif", "crash.sarif", "--codequality", "crash.json", "clean.sas"}).exitCode, 2);
    }
    EXPECT_EQ(ValidateSarif(Work("crash.sarif")), "");
    EXPECT_THAT(Results(Report("crash.sarif")), ElementsAre("exit-code error clean.sas:1"));
    EXPECT_EQ(Report("crash.sarif").at("runs").at(0).at("automationDetails").at("id"), "tamberlo/");
    EXPECT_EQ(Report("crash.json").at(0).at("description"), "SAS ended with exit code 3");

    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record.txt"));
    const std::vector<std::string> before = test::ListFolder(Work());
    // Code scanning places every result in a file: a program that is not
    // one file has none to give.
    const std::string notOneFile =
        ": the program is not one file (-e text, standard input or several pieces), and code scanning places every "
        "result in a file";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--sarif", "prog.sas", "prog.sas"}, "--sarif prog.sas: the same file as the program prog.sas"},
        {{"--junit", "x", "--codequality", "x", "prog.sas"}, "--codequality x: the same file as --junit x"},
        {{"--log", "x", "--sarif", "./x", "prog.sas"}, "--sarif ./x: the same file as --log x"},
        {{"--html", "r", "prog.sas"}, "--html r: is a folder"},
        {{"--sarif", "new/s.sarif", "--codequality", "new/../prog.sas", "prog.sas"},
         "--codequality new/../prog.sas: the same file as the program prog.sas"},
        {{"--source-root", "nowhere", "--sarif", "s.sarif", "prog.sas"},
         "--source-root nowhere: expected an existing folder"},
        {{"--sarif", "s.sarif", "-e", "data _null_; run;"}, "--sarif s.sarif" + notOneFile},
        {{"--codequality", "c.json", "-"}, "--codequality c.json" + notOneFile},
        {{"--junit", "j.xml", "--sarif", "s.sarif", "prog.sas", "-e", "run;"}, "--sarif s.sarif" + notOneFile},
        {{"--codequality", "c.json", "prog.sas", "clean.sas"}, "--codequality c.json" + notOneFile},
    };
    for (const auto& [arguments, message] : cases) {
        const test::ToolResult refused = Run(arguments, "data _null_; run;\n");
        EXPECT_EQ(refused.exitCode, 64) << refused.err;
        EXPECT_EQ(refused.err, "tamberlo: " + message + "\n");
        EXPECT_EQ(test::ListFolder(Work()), before) << message;
    }
    EXPECT_FALSE(test::Exists(Work("record.txt"))) << "SAS was started";
}

// Code scanning places every result at a line of a file: a finding ahead of
// the program's first line (the autoexec's) and a failure without a finding
// are at the program's line 1, and a name that is not UTF-8 keeps its own
// bytes in the URI.
TEST_F(CodeScanningReport, EveryResultIsAtALineOfAFile) {
    WriteWork("ae.sas", "foo;\r\n");
    WriteWork("clean.sas", "data _null_; run;\r\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string sasExitCode;  // the stand-in's, when set
        std::vector<std::string> results;
    };
    std::vector<Case> cases{
        {{"--autoexec", "ae.sas", "clean.sas"}, "", {"SAS180-322 error clean.sas:1", "ERROR error clean.sas:1"}},
        {{"clean.sas"}, "3", {"exit-code error clean.sas:1"}},
        {{"missing.sas"}, "", {"tamberlo-error error missing.sas:1"}},
    };
#ifndef _WIN32
    WriteWork("bad\xFF\xFE.sas", "foo;\r\n");
    cases.push_back({{"bad\xFF\xFE.sas"}, "", {"SAS180-322 error bad%FF%FE.sas:1", "ERROR error bad%FF%FE.sas:1"}});
#endif
    for (const auto& [arguments, sasExitCode, results] : cases) {
        const test::ScopedEnvironment exitCode("TAMBERLO_STANDIN_EXIT", sasExitCode);
        std::vector<std::string> withReports{"--sarif", "r.sarif", "--codequality", "cq.json"};
        withReports.insert(withReports.end(), arguments.begin(), arguments.end());
        EXPECT_NE(Batch(withReports).exitCode, 0) << arguments.back();
        EXPECT_EQ(ValidateSarif(Work("r.sarif")), "") << arguments.back();
        EXPECT_THAT(Results(Report("r.sarif")), ElementsAreArray(results)) << arguments.back();
        for (const std::string& issue : Issues(Report("cq.json"))) EXPECT_THAT(issue, testing::EndsWith(":1"));
    }
}

// A program below the source root is a relative URI with "/" between its
// folders, whatever separator named it; one outside it a file: URI of its
// full name (on Windows with its drive).
TEST_F(CodeScanningReport, LocationsAreUrisRelativeToTheSourceRoot) {
    WriteWork("root/in b.sas", "foo;\r\n");
    WriteWork("other/x y.sas", "foo;\r\n");
    const std::string inside = fs::path("root/in b.sas").make_preferred().string();
    ASSERT_EQ(Batch({"--sarif", "r.sarif", "--source-root", "root", inside, "other/x y.sas"}).exitCode, 2);
    const json run = Report("r.sarif").at("runs").at(0);
    std::set<std::string> uris;
    for (const json& result : run.at("results"))
        uris.insert(result.at("locations").at(0).at("physicalLocation").at("artifactLocation").at("uri"));
    ASSERT_EQ(uris.size(), 2u);
    EXPECT_EQ(*uris.rbegin(), "in%20b.sas");
#ifdef _WIN32
    const std::regex full("file:///[A-Za-z]:/[^\\\\ ]*/other/x%20y\\.sas");
    const std::regex root("file:///[A-Za-z]:/[^\\\\ ]*/root/");
#else
    const std::regex full("file:///[^ ]*/other/x%20y\\.sas");
    const std::regex root("file:///[^ ]*/root/");
#endif
    EXPECT_TRUE(std::regex_match(*uris.begin(), full)) << *uris.begin();
    const std::string rootUri = run.at("originalUriBaseIds").at("SRCROOT").at("uri");
    EXPECT_TRUE(std::regex_match(rootUri, root)) << rootUri;
}

// Past the cap (GitHub takes 25,000 results a run) results are left out,
// counted in a notification, and the rules are those of the results kept.
TEST(SarifReport, ResultsPastTheCapAreLeftOutAndCounted) {
    cli::ProgramOutcome outcome;
    outcome.program = {"p", "p.sas", ""};
    outcome.verdict = cli::Verdict::Failed;
    for (const char* rule : {"SAS1-1", "SAS2-2", "SAS3-3"}) {
        cli::Finding finding;
        finding.ruleId = rule;
        finding.text = std::string("ERROR ") + (rule + 3) + ": x";
        outcome.findings.push_back(finding);
    }
    std::ostringstream out;
    cli::WriteSarifReport(out, cli::BatchSummary{}, std::vector{outcome}, 2);
    const json run = json::parse(out.str()).at("runs").at(0);
    EXPECT_EQ(run.at("results").size(), 2u);
    EXPECT_EQ(run.at("tool").at("driver").at("rules").size(), 2u);
    EXPECT_EQ(run.at("invocations").at(0).at("toolExecutionNotifications").at(0).at("message").at("text"),
              "1 of 3 results are left out: a run holds at most 2");
}

TEST(SourceRoot, EscapesEveryByteAUriCannotCarry) {
    const std::pair<std::string, std::string> cases[] = {
        {"a b/c.sas", "a%20b/c.sas"},
        {"100%#1?.sas", "100%25%231%3F.sas"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e.sas",
         "Gr%C3%BC%C3%9Fe.sas"},
        {"C:x\\y[1]", "C%3Ax%5Cy%5B1%5D"},
        {"~_-.", "~_-."},
    };
    for (const auto& [path, uri] : cases) EXPECT_EQ(cli::SourceRoot::Escape(path), uri) << path;
}
