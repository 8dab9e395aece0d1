// tamberlo batch --matrix: a run per program and row of a CSV parameter
// table, run for real against the stand-in; what a malformed table is told.

#include "CommandTest.h"
#include "TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

using namespace tamberlo;
using testing::HasSubstr;

namespace {

class Matrix : public test::CommandTest {};

std::vector<std::string> Names(const nlohmann::json& report) {
    std::vector<std::string> names;
    for (const auto& program : report.at("programs")) names.push_back(program.at("name"));
    return names;
}

}  // namespace

TEST_F(Matrix, AMalformedTableIsAUsageErrorNamingItsLineAndNothingRuns) {
    WriteWork("p.sas", "%put x;\n");
    const std::string hint = "(a letter or _, then letters, digits and _, at most 32)";
    const struct {
        std::string csv;
        std::string error;
        std::vector<std::string> options = {};
    } cases[] = {
        {"", "m.csv line 1: the file is empty: expected a header and a row per run"},
        {"\xEF\xBB\xBFrun,sysparm\r\n", "m.csv line 1: a header but no row"},
        {"run;sysparm\na;1\n",
         "m.csv line 1: no parameter column: expected the row names' column, then sysparm, set:NAME or let:NAME, "
         "separated by commas"},
        {"run,sysparm\na,1\nb\n", "m.csv line 3: 1 field where the header has 2"},
        {"run,sysparm\na,1,2\n", "m.csv line 2: 3 fields where the header has 2"},
        {"run,study\na,1\n", "m.csv line 1: column 2 (study): expected sysparm, set:NAME or let:NAME"},
        {"run,let:1a\na,1\n", "m.csv line 1: column 2 (let:1a): not a SAS name " + hint},
        {"run,set:\na,1\n", "m.csv line 1: column 2 (set:): not a SAS name " + hint},
        {"run,let:sysx\na,1\n", "m.csv line 1: column 2 (let:sysx): names that start with SYS are SAS's own"},
        {"run,set:A,let:x,SET:a\na,1,2,3\n", "m.csv line 1: column 4 (SET:a): the same parameter as column 2"},
        {"run,sysparm\na,1\n\"A\",2\n", "m.csv line 3: row A: the same name as the row of line 2"},
        {"run,sysparm\n..,1\n", "m.csv line 2: the row name \"..\" cannot name a folder: it is .."},
        {"run,sysparm\na/b,1\n",
         "m.csv line 2: the row name \"a/b\" cannot name a folder: it holds /, which a file name cannot hold on every "
         "system"},
        {"run,sysparm\nx:y,1\n",
         "m.csv line 2: the row name \"x:y\" cannot name a folder: it holds :, which a file name cannot hold on every "
         "system"},
        {"run,sysparm\nCon.txt,1\n",
         "m.csv line 2: the row name \"Con.txt\" cannot name a folder: it is the name of a device on Windows"},
        {"run,sysparm\nend.,1\n",
         "m.csv line 2: the row name \"end.\" cannot name a folder: it ends in a dot or blank, which Windows drops"},
        {"run,sysparm\n,1\n", "m.csv line 2: the row name \"\" cannot name a folder: it is empty"},
        {"run,sysparm\n\"a\x01\",1\n",
         "m.csv line 2: the row name \"a%1\" cannot name a folder: it holds a control character"},
        {"run,sysparm\na,1\n\"b,2\n", "m.csv line 3: a quoted field is not closed"},
        {"run,sysparm\na,b\"c\n", "m.csv line 2: a quotation mark inside a field that does not start with one"},
        {"run,sysparm\n\"a\"b,1\n", "m.csv line 2: text after the closing quotation mark of a field"},
        {"run,sysparm\na,1\n\nb,\xff\n", "m.csv line 4: not UTF-8 text"},
        {"run,let:x,sysparm\na,1,2\nb,3,\"x\ny\"\n", "m.csv line 3: column 3 (sysparm): it holds a line break"},
        {std::string("run,set:V\na,x\0y\n", 16), "m.csv line 2: column 2 (set:V): it holds a NUL character"},
        {"run,let:x\na,\xE2\x82\xAC\n",
         "m.csv line 2: column 2 (let:x): the character U+20AC has no place in the SAS session encoding LATIN1",
         {"--encoding", "LATIN1"}},
    };
    test::ScopedEnvironment record("TAMBERLO_STANDIN_RECORD", Work("record"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.csv);
        WriteWork("m.csv", c.csv);
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"--matrix", "m.csv", "--out", "out", "p.sas"});
        const test::ToolResult result = Batch(arguments);
        EXPECT_EQ(result.exitCode, 64);
        EXPECT_EQ(result.err, "tamberlo: " + c.error + "\n");
    }
    EXPECT_EQ(Batch({"--matrix", "none.csv", "p.sas"}).err, "tamberlo: --matrix none.csv: File not found\n");
    EXPECT_EQ(Batch({"--matrix", ".", "p.sas"}).err, "tamberlo: --matrix .: not a regular file\n");
    EXPECT_FALSE(test::Exists(Work("record"))) << "SAS was started";
    EXPECT_FALSE(test::Exists(Work("out")));
}

// Three rows of two programs: six runs, each with its row's values over the
// command line's, in the terminal, every report and --out.
TEST_F(Matrix, EveryProgramRunsOncePerRowWithTheRowsValues) {
    const std::string program =
        "%put [&sysparm] [%sysget(REGION)] [&study] [&site];\r\n"
        "data _null_; file _put1; put \"&study\"; run;\r\n";
    WriteWork("progs/a.sas", program);
    WriteWork("progs/b.sas", program);
    WriteWork("m.csv",
              "\xEF\xBB\xBFstudy,sysparm,set:REGION,let:study\r\n"
              "s1,S1,north,\"A,1\"\r\n"
              "s2,S2,south,\"say \"\"hi\"\"\"\r\n"
              "s3,S3,,B3\r\n");
    const test::ToolResult result =
        Batch({"--matrix", "m.csv", "--let", "study=unused", "--let", "site=main", "--set", "REGION=all", "--out",
               "out", "--json", "r.json", "--junit", "r.xml", "--html", "r.html", "progs"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_THAT(result.out, HasSubstr("6 of 6 programs: 6 clean"));

    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r.json")));
    EXPECT_EQ(Names(report), (std::vector<std::string>{"a[s1]", "a[s2]", "a[s3]", "b[s1]", "b[s2]", "b[s3]"}));
    EXPECT_EQ(report.at("programs").at(4).at("parameters"),
              nlohmann::json::parse(R"({"sysparm": "S2", "set:REGION": "south", "let:site": "main",
                                        "let:study": "say \"hi\""})"));
    const std::string junit = test::ReadFile(Work("r.xml"));
    EXPECT_THAT(junit, HasSubstr("<testcase name=\"b[s3]\""));
    EXPECT_THAT(junit, HasSubstr("<property name=\"[s2] let:study\" value=\"say &quot;hi&quot;\"/>"));
    const std::string html = test::ReadFile(Work("r.html"));
    EXPECT_THAT(html, HasSubstr("<b>a[s2]</b>"));
    EXPECT_THAT(html, HasSubstr("<span>sysparm S2</span><span>set:REGION south</span>"));

    const std::vector<std::string> logs = {"[S1] [north] [A,1] [main]", "[S2] [south] [say \"hi\"] [main]",
                                           "[S3] [] [B3] [main]"};
    for (const char* name : {"a", "b"}) {
        for (int row = 1; row <= 3; ++row) {
            const std::string base = Work("out/s" + std::to_string(row) + "/" + name);
            EXPECT_THAT(test::ReadFile(base + ".log"), HasSubstr("\r\n" + logs[row - 1] + "\r\n")) << base;
            EXPECT_THAT(test::ReadFile(base + "/_PUT1.txt"), HasSubstr(row == 2   ? "say \"hi\""
                                                                       : row == 1 ? "A,1"
                                                                                  : "B3"));
        }
    }
    EXPECT_EQ(test::ListFolder(Work("out")), (std::vector<std::string>{"s1", "s2", "s3"}));
}

// Ten thousand rows, one of them a megabyte long: a shard runs its two of
// the program x row runs.
TEST_F(Matrix, ShardsSplitTheRunsOfALargeTable) {
    WriteWork("p.sas", "%put [&sysparm];\r\n%put ERROR: bad &sysparm;\r\n");
    std::string csv = "row,sysparm\n";
    for (int i = 0; i < 10000; ++i)
        csv += "r" + std::to_string(i) + "," + (i == 1 ? std::string(1 << 20, 'x') : "v" + std::to_string(i)) + "\n";
    WriteWork("m.csv", csv);
    const test::ToolResult result = Batch({"--matrix", "m.csv", "--shard", "1/5000", "--out", "out", "--json", "r.json",
                                           "--codequality", "cq.json", "p.sas"});
    ASSERT_EQ(result.exitCode, 2) << result.err;
    EXPECT_THAT(result.out, HasSubstr("\np.sas:2: ERROR: bad v5000 (row r5000)\n"));
    const nlohmann::json report = nlohmann::json::parse(test::ReadFile(Work("r-1of5000.json")));
    EXPECT_EQ(Names(report), (std::vector<std::string>{"p[r0]", "p[r5000]"}));
    EXPECT_THAT(test::ReadFile(Work("out/r5000/p.log")), HasSubstr("\r\n[v5000]\r\n"));
    // The rows' issues differ only in digits, which fingerprints leave out:
    // the row keeps them apart.
    const nlohmann::json issues = nlohmann::json::parse(test::ReadFile(Work("cq-1of5000.json")));
    ASSERT_EQ(issues.size(), 2u);
    EXPECT_EQ(issues.at(1).at("description"), "ERROR: bad v5000 (row r5000)");
    EXPECT_NE(issues.at(0).at("fingerprint"), issues.at(1).at("fingerprint"));
}
