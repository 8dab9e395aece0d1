// The batch's HTML page, written from outcomes without running a batch.

#include "RunFolderTest.h"
#include "cli/reports/HtmlReport.h"
#include "cli/reports/ReportText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

class HtmlReport : public test::RunFolderTest {};

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
