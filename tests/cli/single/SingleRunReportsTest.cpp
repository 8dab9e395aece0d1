// What the single run's --json and --report write: the whole run, the
// session's texts as UTF-8, an error object, a debug report fresh or after
// a run.

#include "CommandTest.h"
#include "TestSupport.h"
#include "host/SessionEncoding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace tamberlo;
using testing::EndsWith;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::StartsWith;

namespace {

using test::ListingPage;
using test::PrintStep;
using test::ReportSection;

using TamberloCommand = test::CommandTest;

}  // namespace

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

TEST_F(TamberloCommand, TimeLimitWithJsonGivesAnErrorObject) {
    test::ScopedEnvironment sleep("TAMBERLO_STANDIN_SLEEP", "30");
    const test::ToolResult result = Run({"--json", "--timeout", "0.5", "-e", PrintStep("x")});
    EXPECT_EQ(result.exitCode, 4);
    const nlohmann::json json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json.at("error").at("source"), "Execute method");
    EXPECT_THAT(result.err, StartsWith("tamberlo: Execute method: "));
}

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
