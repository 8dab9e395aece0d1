// The batch's HTML page: written from outcomes without running a batch, and
// a real batch's page in a real browser.

#include "BatchCommandTest.h"
#include "RunFolderTest.h"
#include "TestSupport.h"
#include "cli/reports/HtmlReport.h"
#include "cli/reports/ReportText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

class HtmlReport : public test::RunFolderTest {};

using BatchCommand = test::BatchCommandTest;

}  // namespace

// Of a log or listing over 256 KiB the page shows the lines within the first
// 256 KiB and says so after them, linking to the whole file where the files
// stay; a finding past the cut is named but not linked.
TEST_F(HtmlReport, LongFilesAreCutWithALinkToTheWholeFile) {
    std::string text;  // 20000 lines of 16 bytes: the first 16384 fill 256 KiB
    for (int line = 1; line <= 20000; ++line) {
        char buffer[17];
        std::snprintf(buffer, sizeof buffer, "ERROR: %07d\r\n", line);
        text += buffer;
    }
    std::filesystem::create_directories(Work("logs"));
    cli::ProgramOutcome outcome;
    outcome.program.name = "a";
    outcome.program.path = "a.sas";
    outcome.verdict = cli::ProgramOutcome::Verdict::Failed;
    outcome.logFile = Work("logs/a&b c.log");
    outcome.lstFile = Work("logs/a.lst");
    test::WriteFile(outcome.logFile, text);
    test::WriteFile(outcome.lstFile, text);
    for (const long line : {16384, 16385})
        outcome.findings.push_back({cli::LogLineClassifier::Kind::Error, "ERROR", line, 1, {}, "ERROR"});

    for (const bool filesStay : {true, false}) {
        SCOPED_TRACE(filesStay ? "files stay" : "files go");
        std::ostringstream out;
        cli::WriteHtmlReport(out, {}, std::vector{outcome}, Work("report.html"), filesStay);
        const std::string page = out.str();
        const auto note = [&](const std::string& file, const std::string& url) {
            return "</pre>\n<p>The first 256 KiB of 312 KiB are shown" +
                   (filesStay ? "; the whole file: <a href=\"" + url + "\">" + cli::report_text::Xml(file) + "</a>"
                              : "") +
                   ".</p>\n";
        };
        EXPECT_THAT(page,
                    HasSubstr("ERROR: 0016384</span>\n" + note(outcome.logFile, "logs/a%26b%20c.log") + "<h3>Listing"));
        EXPECT_THAT(page, HasSubstr("\nERROR: 0016384\n" + note(outcome.lstFile, "logs/a.lst") + "</details>"));
        EXPECT_EQ(page.find("0016385"), std::string::npos);
        EXPECT_THAT(page, HasSubstr("<a href=\"#p0-l16384\">log line 16384</a>, program line 1: ERROR</li>"
                                    "<li class=\"E\">log line 16385, program line 1: ERROR</li>"));
    }
}

// A time keeps its unit on its line, in the table, the summary and a
// program's facts: a no-break space, never a blank, stands between them.
TEST_F(HtmlReport, ATimeIsNeverBrokenFromItsUnit) {
    cli::ProgramOutcome outcome;
    outcome.program.name = "a";
    outcome.program.path = "a.sas";
    outcome.seconds = 0.02;
    cli::BatchSummary summary;
    summary.seconds = 1.5;
    std::ostringstream out;
    cli::WriteHtmlReport(out, summary, std::vector{outcome}, Work("report.html"), false);
    const std::string page = out.str();
    for (const char* time :
         {"<td class=\"num\">0.02\xc2\xa0s</td>", "<span>1.5\xc2\xa0s</span>", ", 0.02\xc2\xa0s</p>"})
        EXPECT_THAT(page, HasSubstr(time));
    EXPECT_EQ(page.find(" s<"), std::string::npos);
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
