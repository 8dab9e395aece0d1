// What a batch's reports (JUnit, JSON, HTML) hold, run for real against the
// SAS stand-in: their names, the log embedded whole or cut, its texts
// decoded and well-formed whatever the log holds, and what a batch killed
// while writing them leaves for the next.

#include "BatchCommandTest.h"
#include "JunitSchema.h"
#include "TestSupport.h"
#include "cli/base/Console.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

using test::ValidateJUnit;

using BatchCommand = test::BatchCommandTest;

}  // namespace

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
