// `tamberlo scan` on logs written beforehand, and the GitHub Actions
// annotations of scan, batch and --check: verdicts, statuses, report
// contents and the exact workflow commands.

#include "CommandTest.h"
#include "TestSupport.h"
#include "cli/reports/GitHubAnnotations.h"
#include "cli/reports/ReportText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace tamberlo;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;

namespace {

namespace fs = std::filesystem;

class ScanCommand : public test::CommandTest {
protected:
    nlohmann::json Json(const std::string& name) const { return nlohmann::json::parse(test::ReadFile(Work(name))); }

    // A path in a Markdown table cell: its backslashes escaped.
    static std::string InCell(std::string path) {
        for (std::size_t at = 0; (at = path.find('\\', at)) != std::string::npos; at += 2) path.insert(at, 1, '\\');
        return path;
    }

    // The lines of standard output that are workflow commands.
    static std::vector<std::string> Annotations(const std::string& out) {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("::", 0) == 0) lines.push_back(line);
        return lines;
    }

    // The first program's findings of a scan's JSON report as "logLine:programLine:text".
    std::vector<std::string> Findings(const std::string& report, std::size_t program = 0) const {
        std::vector<std::string> texts;
        const nlohmann::json json = Json(report);
        for (const auto& finding : json["programs"][program]["findings"]) {
            texts.push_back(std::to_string(finding["logLine"].get<long>()) + ":" +
                            std::to_string(finding["programLine"].get<long>()) + ":" +
                            finding["text"].get<std::string>());
        }
        return texts;
    }
};

// A text of Latin-1 characters as UTF-16 with its byte-order mark.
std::string Utf16(const std::string& latin1, bool littleEndian) {
    std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (const char c : latin1) {
        bytes += littleEndian ? std::string{c, '\0'} : std::string{'\0', c};
    }
    return bytes;
}

// A path as the command names a file it found in a folder: with the
// system's separator.
std::string Found(const std::string& path) { return fs::path(path).make_preferred().string(); }

const std::string notValid = "ERROR 180-322: Statement is not valid or it is used out of proper order.";

}  // namespace

TEST_F(ScanCommand, ReadsAFolderOfLogsWithTheirProgramsAndListings) {
    WriteWork("logs/job.log", "NOTE: SAS started.\r\n1          data x;\r\n2          foo;\r\n          ---\r\n" +
                                  notValid + "\r\nWARNING: Data set X was not replaced\r\n  because of errors.\r\n");
    WriteWork("logs/job.sas", "data x;\r\nfoo;\r\n");
    WriteWork("logs/job.lst", "the listing of job\r\n");
    WriteWork("logs/sub/warn.log", "NOTE: a\nWARNING: Apparent symbolic reference X not resolved.\n");
    WriteWork("logs/sub/clean.log", "NOTE: all fine\n");
    WriteWork("logs/notes.txt", "ERROR: not a log\n");

    const test::ToolResult result =
        Scan({"--recursive", "logs", "missing.log", "--json", "r.json", "--junit", "r.xml", "--html", "r.html"});
    EXPECT_EQ(result.exitCode, 3) << result.err;
    EXPECT_THAT(result.out, HasSubstr("\n" + Found("logs/job.sas") + ":2: " + notValid +
                                      "\nmissing: missing.log: no such log file\n"));
    EXPECT_THAT(result.out, HasSubstr("\n4 of 4 programs: 1 clean, 1 warnings, 1 failed, 1 errors, 0 time limits;"));

    const nlohmann::json report = Json("r.json");
    EXPECT_EQ(report["name"], "tamberlo scan");
    EXPECT_EQ(report["exitStatus"], 3);
    std::vector<std::string> facts;
    for (const auto& program : report["programs"]) {
        facts.push_back(program["name"].get<std::string>() + " " + program["file"].get<std::string>() + " " +
                        program["verdict"].get<std::string>() + " " + program["sasExitCode"].dump());
    }
    EXPECT_EQ(facts, (std::vector<std::string>{"job " + Found("logs/job.sas") + " failed null",
                                               "missing missing.log error null",
                                               "sub/clean " + Found("logs/sub/clean.log") + " clean null",
                                               "sub/warn " + Found("logs/sub/warn.log") + " warnings null"}));
    // With the program beside it, its lines; without, the log's.
    EXPECT_EQ(
        Findings("r.json"),
        (std::vector<std::string>{"5:2:" + notValid, "6:2:WARNING: Data set X was not replaced because of errors."}));
    EXPECT_EQ(Findings("r.json", 3),
              (std::vector<std::string>{"2:2:WARNING: Apparent symbolic reference X not resolved."}));
    EXPECT_THAT(report["programs"][0]["log"].get<std::string>(), HasSubstr("2          foo;\r\n"));

    const std::string junit = test::ReadFile(Work("r.xml"));
    EXPECT_THAT(junit, HasSubstr("<failure message=\"" + Found("logs/job.sas") + ":2: " + notValid +
                                 "\" type=\"SAS errors\">"));
    EXPECT_THAT(junit, HasSubstr("<error message=\"missing.log: no such log file\" type=\"Tamberlo error\">"));
    EXPECT_THAT(test::ReadFile(Work("r.html")), HasSubstr("the listing of job"));

    // Without the missing log: the worst verdict's status. Usage errors as the batch's.
    EXPECT_EQ(Scan({"logs/job.log", "logs/sub"}).exitCode, 2);
    const std::vector<std::pair<std::vector<std::string>, std::string>> usage{
        {{}, "no log: name .log files or folders (see tamberlo scan --help)"},
        {{"logs/notes.txt"}, "logs/notes.txt: not a .log file"},
        {{"logs/job.log", "--json", "logs/job.sas"}, "--json logs/job.sas: the same file as the program logs/job.sas"},
        {{"logs/job.log", "--encoding", "KLINGON"},
         "--encoding KLINGON: not an encoding Tamberlo knows (UTF-8, UTF-16LE, UTF-16BE, WLATIN1, LATIN1, SHIFT-JIS, ...)"},
        {{"logs/job.log", "--annotations", "gitlab"}, "--annotations gitlab: expected github or none"},
    };
    for (const auto& [arguments, message] : usage) {
        const test::ToolResult refused = Scan(arguments);
        EXPECT_EQ(refused.exitCode, 64);
        EXPECT_EQ(refused.err, "tamberlo: " + message + "\n");
    }
#ifndef _WIN32
    // A pipe named as a log would block its reading for ever.
    ASSERT_EQ(mkfifo(Work("pipe.log").c_str(), 0600), 0);
    const test::ToolResult pipe = Scan({"pipe.log"});
    EXPECT_EQ(pipe.exitCode, 3);
    EXPECT_THAT(pipe.out, HasSubstr("\npipe: pipe.log: cannot read: not a file\n"));
#endif
    fs::create_directory(Work("empty"));
    EXPECT_EQ(Scan({"empty"}).err, "tamberlo: no log: no .log file in the folders named\n");
}

TEST_F(ScanCommand, TheEncodingComesFromTheOptionTheMarkOrThePlatform) {
    const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> cases{
        {"\xEF\xBB\xBF"
         "ERROR: caf\xC3\xA9\n",
         {},
         "ERROR: caf\xC3\xA9"},
        {Utf16("ERROR: caf\xE9\n", true), {}, "ERROR: caf\xC3\xA9"},
        {Utf16("ERROR: caf\xE9\n", false), {}, "ERROR: caf\xC3\xA9"},
        // A lone surrogate is no character.
        {Utf16("ERROR: \xD8\n", false).replace(16, 2, std::string("\xD8\0", 2)), {}, "ERROR: \xEF\xBF\xBD"},
        {"ERROR: caf\xC3\xA9\n", {"--encoding", "utf-8"}, "ERROR: caf\xC3\xA9"},
        {"ERROR: caf\xE9\n", {"--encoding", "LATIN1"}, "ERROR: caf\xC3\xA9"},
        // Both platforms' defaults (LATIN1, WLATIN1) hold é as one byte.
        {"ERROR: caf\xE9\n", {}, "ERROR: caf\xC3\xA9"},
    };
    for (const auto& [bytes, arguments, finding] : cases) {
        WriteWork("one.log", bytes);
        std::vector<std::string> scan = arguments;
        scan.insert(scan.end(), {"one.log", "--json", "r.json"});
        const test::ToolResult result = Scan(scan);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_EQ(Findings("r.json"), (std::vector<std::string>{"1:1:" + finding}));
        EXPECT_EQ(Json("r.json")["programs"][0]["log"], finding + "\n");
    }
}

TEST_F(ScanCommand, AHostileLogIsReadWhole) {
    const std::string longLine(10 << 20, 'x');
    WriteWork("hostile.log", "NOTE: CR only\rERROR: \x1B[2J erased \x07 \xFF\xFE bytes\rWARNING: " + longLine +
                                 "\r\n\r\nERROR: after the long line\n");
    const test::ToolResult result = Scan({"hostile.log", "--json", "r.json", "--junit", "r.xml"});
    EXPECT_EQ(result.exitCode, 2);
    // The terminal gets control characters as the cleaned log shows them
    // (here in UTF-8; Windows without a console: the ANSI code page).
#ifdef _WIN32
    const std::string bytes = "\xFF\xFE";
#else
    const std::string bytes = "\xC3\xBF\xC3\xBE";
#endif
    EXPECT_THAT(result.out, HasSubstr("\nhostile.log:2: ERROR: %27[2J erased %7 " + bytes + " bytes\n"));
    EXPECT_THAT(result.out, Not(HasSubstr("\x1B")));
    const std::vector<std::string> findings = Findings("r.json");
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_EQ(findings[0], "2:2:ERROR: \x1B[2J erased \x07 \xC3\xBF\xC3\xBE bytes");
    EXPECT_EQ(findings[1].size(), std::string("3:3:").size() + 1024);
    EXPECT_EQ(findings[2], "5:5:ERROR: after the long line");
    // The report embeds the log's start only, and says where the rest is.
    const std::string log = Json("r.json")["programs"][0]["log"].get<std::string>();
    EXPECT_EQ(log.find("\n[The log is cut here"), cli::report_text::ShownBytes);
    EXPECT_THAT(log, EndsWith("xx\n[The log is cut here: the first 256 KiB of 10240 KiB are shown; the whole log: "
                              "hostile.log]\n"));
}

TEST_F(ScanCommand, GitHubAnnotationsAreEscapedCappedAndSummed) {
    std::string many;
    for (int i = 1; i <= 12; ++i)
        many += "ERROR: number " + std::to_string(i) + "\nWARNING: number " + std::to_string(i) + "\n";
    WriteWork("logs/many.log", many);
    WriteWork("logs/odd, 100%.log", "1          x;\n2          y;\nERROR 22-7: a:b, 50% done\n  and | `more` <b>\n");
    WriteWork("logs/odd, 100%.sas", "x;\ny;\n");
    WriteWork("summary.md", "earlier step\n");
    test::ScopedEnvironment actions("GITHUB_ACTIONS", "true");
    test::ScopedEnvironment workspace("GITHUB_WORKSPACE", Work());
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", Work("summary.md"));

    const test::ToolResult result = Scan({"logs"});
    EXPECT_EQ(result.exitCode, 2);
    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) {
        const std::string n = std::to_string(i);
        expected.push_back("::error file=logs/many.log,line=" + std::to_string(2 * i - 1) +
                           ",title=ERROR::ERROR: number " + n);
        expected.push_back("::warning file=logs/many.log,line=" + std::to_string(2 * i) +
                           ",title=WARNING::WARNING: number " + n);
    }
    const std::vector<std::string> annotations = Annotations(result.out);
    EXPECT_EQ(std::vector<std::string>(annotations.begin(), annotations.begin() + 20), expected);
    // The cap is reached: the odd log's error is only counted.
    EXPECT_EQ(annotations.size(), 20u);
    EXPECT_EQ(
        test::ReadFile(Work("summary.md")),
        "earlier step\n## tamberlo scan\n\n2 programs: 0 clean, 0 warnings, 2 failed, 0 error, 0 time limit, 0 not run\n\n"
        "| program | verdict | first problem |\n| --- | --- | --- |\n"
        "| many | failed | " +
            InCell(Found("logs/many.log")) +
            ":1: ERROR: number 1 |\n"
            "| odd, 100% | failed | " +
            InCell(Found("logs/odd, 100%.sas")) +
            ":2: ERROR 22-7: a:b, 50% done and \\| \\`more\\` &lt;b&gt; |\n"
            "\n3 more errors and 2 more warnings are not annotated: GitHub shows 10 of each kind per step.\n\n");

    // Escaped by GitHub's rules; none turns them off.
    fs::remove(Work("logs/many.log"));
    EXPECT_EQ(Annotations(Scan({"logs"}).out),
              (std::vector<std::string>{"::error file=logs/odd%2C 100%25.sas,line=2,title=SAS22-7::ERROR 22-7: a:b, "
                                        "50%25 done and | `more` <b>"}));
    EXPECT_EQ(Annotations(Scan({"--annotations", "none", "logs"}).out), std::vector<std::string>{});

    // The summary's table stops at its cap and counts the rest: GitHub
    // refuses a summary past 1 MiB whole.
    const std::size_t cap = cli::GitHubAnnotations::MaxSummaryRows;
    for (std::size_t i = 0; i < cap + 3; ++i) WriteWork("many/l" + std::to_string(1000 + i) + ".log", "ERROR: x\n");
    WriteWork("summary.md", "");
    EXPECT_EQ(Scan({"many"}).exitCode, 2);
    const std::string table = test::ReadFile(Work("summary.md"));
    EXPECT_EQ(test::Occurrences(table, "| failed | "), cap);
    EXPECT_THAT(table, HasSubstr("\n3 more programs did not pass: the reports list them all.\n"));
}

// The summary's heading starts a line of its own, whatever the file held.
TEST_F(ScanCommand, TheStepSummaryStartsALineOfItsOwn) {
    WriteWork("logs/a.log", "ERROR: x\n");
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", Work("summary.md"));
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"prev", "prev\n"}, {"prev\n", "prev\n"}, {"prev\r\n", "prev\r\n"}, {"prev\n\n", "prev\n\n"}};
    for (const auto& [before, kept] : cases) {
        WriteWork("summary.md", before);
        EXPECT_EQ(Scan({"--annotations", "github", "logs"}).exitCode, 2);
        EXPECT_THAT(test::ReadFile(Work("summary.md")), testing::StartsWith(kept + "## tamberlo scan\n\n1 programs"))
            << before;
    }
}

#ifndef _WIN32
// A workspace or a file reached through a link is resolved on both sides:
// the file is still named relative to the workspace.
TEST_F(ScanCommand, AnnotationsNameFilesInAWorkspaceReachedThroughALink) {
    WriteWork("logs/a.log", "ERROR: x\n");
    fs::create_directory_symlink(Work(), Work("link"));
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", "");
    const std::pair<std::string, std::string> cases[] = {
        {Work("link"), "logs/a.log"}, {Work(), "link/logs/a.log"}, {Work("link"), "link/logs/a.log"}};
    for (const auto& [workspace, log] : cases) {
        test::ScopedEnvironment github("GITHUB_WORKSPACE", workspace);
        EXPECT_EQ(Annotations(Scan({"--annotations", "github", log}).out),
                  std::vector<std::string>{"::error file=logs/a.log,line=1,title=ERROR::ERROR: x"})
            << workspace << " " << log;
    }
}
#endif

TEST_F(ScanCommand, BatchAndCheckAnnotateToo) {
    WriteWork("bad.sas", "foo;\r\n");
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", "");
    const std::vector<std::string> annotations{
        "::error file=bad.sas,line=1,title=SAS180-322::" + notValid,
        "::error file=bad.sas,line=1,title=ERROR::ERROR: Errors printed on page 1."};
    EXPECT_EQ(Annotations(Batch({"--annotations", "github", "bad.sas"}).out), annotations);
    EXPECT_EQ(Annotations(Run({"--annotations", "github", "--check", "bad.sas"}).out), annotations);
    EXPECT_EQ(Run({"--annotations", "yes", "bad.sas"}).err, "tamberlo: --annotations yes: expected github or none\n");
}

// A log still being written when it is scanned: every report shows the
// bytes the verdict came from, not what the writer added while the reports
// were written, and of those at most the first 256 KiB.
TEST_F(ScanCommand, TheReportsHoldTheBytesThatWereJudged) {
    std::string notes;
    for (int i = 0; i < 9000; ++i) notes += "NOTE: line " + std::to_string(i) + "\n";
    WriteWork("growing.log", notes);
    std::atomic<bool> scanned{false};
    std::thread writer([&] {
        std::ofstream log(Work("growing.log"), std::ios::binary | std::ios::app);
        for (long n = 0; !scanned; ++n) {
            log << "ERROR: late " << n << "\n" << std::flush;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    });
    const test::ToolResult result = Scan({"growing.log", "--json", "r.json", "--junit", "r.xml", "--html", "r.html"});
    scanned = true;
    writer.join();
    const nlohmann::json program = Json("r.json")["programs"][0];
    const long judged = program["errorLines"].get<long>();
    EXPECT_EQ(result.exitCode, judged == 0 ? 0 : 2) << result.err;
    // The judged bytes, as the report embeds them.
    std::string shown = notes;
    for (long n = 0; n < judged; ++n) shown += "ERROR: late " + std::to_string(n) + "\n";
    if (shown.size() > cli::report_text::ShownBytes) {
        const std::string of = std::to_string(shown.size() / 1024);
        shown.erase(shown.rfind('\n', cli::report_text::ShownBytes - 1) + 1);
        shown += "[The log is cut here: the first 256 KiB of " + of + " KiB are shown; the whole log: growing.log]\n";
    }
    EXPECT_EQ(program["log"].get<std::string>(), shown);
    const std::string junit = test::ReadFile(Work("r.xml"));
    const std::string systemOut = junit.substr(junit.find("<system-out>"));
    EXPECT_EQ(test::Occurrences(systemOut, "ERROR: late"), test::Occurrences(shown, "ERROR: late"));
}

// The encoding a mark says wins over --encoding; UTF-16 without a mark is
// seen by its NUL bytes, or named; a file of NUL bytes is no log.
TEST_F(ScanCommand, Utf16IsReadWhateverTheOptionAndAFileOfNulsIsRefused) {
    const auto withoutMark = [](const std::string& latin1, bool littleEndian) {
        return Utf16(latin1, littleEndian).substr(2);
    };
    const std::string text = "NOTE: a\nERROR: caf\xE9\n";
    const std::string cafe = "2:2:ERROR: caf\xC3\xA9";
    // Mostly characters of two non-NUL bytes: only its name tells it.
    std::string macrons;
    for (int i = 0; i < 40; ++i) macrons += "\xC4\x81";
    const auto named = [&](bool littleEndian) {
        return withoutMark("ERROR: ", littleEndian) + std::string(80, '\x01') + withoutMark("\n", littleEndian);
    };
    const std::vector<std::tuple<std::string, std::vector<std::string>, std::string>> cases{
        {Utf16(text, true), {"--encoding", "UTF-8"}, cafe},
        {Utf16(text, false), {"--encoding", "LATIN1"}, cafe},
        {"\xEF\xBB\xBF"
         "NOTE: a\nERROR: caf\xC3\xA9\n",
         {"--encoding", "LATIN1"},
         cafe},
        {withoutMark(text, true), {}, cafe},
        {withoutMark(text, false), {}, cafe},
        {withoutMark(text, true), {"--encoding", "UTF-8"}, cafe},
        {named(true), {"--encoding", "utf-16le"}, "1:1:ERROR: " + macrons},
        {named(false), {"--encoding", "UTF16BE"}, "1:1:ERROR: " + macrons},
    };
    for (const auto& [bytes, arguments, finding] : cases) {
        WriteWork("one.log", bytes);
        std::vector<std::string> scan = arguments;
        scan.insert(scan.end(), {"one.log", "--json", "r.json"});
        const test::ToolResult result = Scan(scan);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_EQ(Findings("r.json"), std::vector<std::string>{finding});
    }
    // (Not "nul.log": Windows takes that name for its null device.)
    WriteWork("zeros.log", std::string(100000, '\0') + "ERROR: hidden\n");
    const test::ToolResult nul = Scan({"zeros.log", "--encoding", "UTF-8"});
    EXPECT_EQ(nul.exitCode, 3);
    EXPECT_THAT(nul.out, HasSubstr("\nzeros: zeros.log: cannot read: mostly NUL bytes, no text in any encoding\n"));
}

// A log that a batch wrote with --out, scanned beside its program: the
// findings are on the lines the batch named, whatever Tamberlo wrote ahead
// of the program.
TEST_F(ScanCommand, TamberlosOwnLogsAreNumberedAsTheBatchNumberedThem) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"foo;\n", {"--let", "a=1", "--let", "b=2"}},
        {"data _null_; file _put1; put 'x'; run;\nfoo;\n", {"--let", "a="}},
        // The program itself starts with lines of the forms Tamberlo writes.
        {"%LET X=;\n\nfoo;\n", {"--let", "c=3"}},
        {"\nfoo;\n", {}},
    };
    for (const auto& [program, lets] : cases) {
        SCOPED_TRACE(program);
        fs::remove_all(Work("sc"));
        WriteWork("sc/p.sas", program);
        std::vector<std::string> batch = lets;
        batch.insert(batch.end(), {"--json", "b.json", "--out", "sc", "sc"});
        EXPECT_EQ(Batch(batch).exitCode, 2);
        EXPECT_EQ(Scan({"sc", "--json", "s.json"}).exitCode, 2);
        const std::vector<std::string> batchFindings = Findings("b.json");
        ASSERT_FALSE(batchFindings.empty());
        EXPECT_EQ(Findings("s.json"), batchFindings);
    }
}

// Names and log texts reach the terminal, the cleaned logs, the annotations
// and the step summary with every control character as its code: nothing
// in them moves the cursor, cuts a line short or forges a line of its own.
TEST_F(ScanCommand, ControlCharactersOfNamesAndTextsShowAsCodes) {
    struct Case {
        std::string file;
        std::string log;
        std::string shown;       // the first problem on the terminal
        std::string annotation;  // its workflow command
        std::string cleanedLog;  // in the reports
    };
    std::vector<Case> cases{{"zeros.log", std::string("ERROR: a\0b\x7F c\n", 14), "zeros.log:1: ERROR: a%0b%127 c",
                             "::error file=logs/zeros.log,line=1,title=ERROR::ERROR: a%250b%25127 c",
                             "ERROR: a%0b%127 c\n"}};
#ifndef _WIN32
    cases.push_back({"nl\nline.log", "ERROR: x\n", "nl%10line.log:1: ERROR: x",
                     "::error file=logs/nl%0Aline.log,line=1,title=ERROR::ERROR: x", "ERROR: x\n"});
    cases.push_back({"esc\x1B[2J\x01.log", "ERROR: y\n", "esc%27[2J%1.log:1: ERROR: y",
                     "::error file=logs/esc%2527[2J%251.log,line=1,title=ERROR::ERROR: y", "ERROR: y\n"});
#endif
    test::ScopedEnvironment actions("GITHUB_ACTIONS", "true");
    test::ScopedEnvironment workspace("GITHUB_WORKSPACE", Work());
    test::ScopedEnvironment summary("GITHUB_STEP_SUMMARY", Work("summary.md"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        fs::remove_all(Work("logs"));
        WriteWork("logs/" + c.file, c.log);
        WriteWork("summary.md", "");
        const test::ToolResult result = Scan({"logs", "--json", "r.json"});
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_THAT(result.out, HasSubstr("\n" + Found("logs/" + c.shown) + "\n"));
        EXPECT_EQ(result.out.find_first_of(std::string("\0\x01\x1B\x7F", 4)), std::string::npos);
        if (c.file.find_first_of("\n\x1B") != std::string::npos) {
            EXPECT_EQ(result.out.find(c.file), std::string::npos);
        }
        EXPECT_EQ(Annotations(result.out), (std::vector<std::string>{c.annotation}));
        EXPECT_EQ(test::ReadFile(Work("summary.md")).find_first_of(std::string("\0\x01\x1B\x7F", 4)),
                  std::string::npos);
        // The cleaned log of the reports.
        EXPECT_EQ(Json("r.json")["programs"][0]["log"], c.cleanedLog);
    }
}

// A page's log whose first line passes what the page shows: the line's
// start is shown, cut between two characters.
TEST_F(ScanCommand, TheHtmlPageShowsTheStartOfALongFirstLine) {
    std::string accents;  // two bytes a character in UTF-8
    for (int i = 0; i < (150 << 10) + 1; ++i) accents += "\xC3\xA9";
    // A mark and the line; the start of it the page shows.
    const std::vector<std::tuple<std::string, std::string, std::string>> lines{
        {"", std::string(300 << 10, 'x'), std::string(1000, 'x')},
        {"\xEF\xBB\xBF", accents, "\xC3\xA9\xC3\xA9\xC3\xA9"},
    };
    for (const auto& [mark, line, start] : lines) {
        WriteWork("long.log", mark + "ERROR: " + line + "\nERROR: second\n");
        EXPECT_EQ(Scan({"long.log", "--html", "r.html"}).exitCode, 2);
        const std::string page = test::ReadFile(Work("r.html"));
        EXPECT_THAT(page, HasSubstr(">ERROR: " + start));
        EXPECT_THAT(page, HasSubstr("KiB are shown"));
        EXPECT_EQ(page.find("\xEF\xBF\xBD"), std::string::npos);
        EXPECT_EQ(page.find(">ERROR: second</span>"), std::string::npos);
    }
}

// Quoted patterns are expanded by scan itself, on every system.
TEST_F(ScanCommand, QuotedWildcardsAreExpanded) {
    WriteWork("logs/a.log", "ERROR: in a\n");
    WriteWork("logs/b.log", "WARNING: in b\n");
    WriteWork("logs/c1.log", "NOTE: c1\n");
    const std::vector<std::tuple<std::string, int, std::string>> cases{
        {"logs/*.log", 2, "3 of 3 programs: 1 clean, 1 warnings, 1 failed"},
        {"logs/?.log", 2, "2 of 2 programs: 0 clean, 1 warnings, 1 failed"},
        {"logs/c*", 0, "1 of 1 programs: 1 clean"},
        {"logs/z*.log", 3, "z*: logs/z*.log: no such log file"},
    };
    for (const auto& [pattern, status, said] : cases) {
        const test::ToolResult result = Scan({pattern});
        EXPECT_EQ(result.exitCode, status) << pattern;
        EXPECT_THAT(result.out, HasSubstr(said)) << pattern;
    }
}
