#include "cli/findings/LogFindings.h"
#include "cli/base/UsageError.h"
#include "engine/Engine.h"
#include "host/StopSignal.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using tamberlo::cli::Finding;
using tamberlo::cli::LogFindings;
using tamberlo::cli::LogRules;
using tamberlo::cli::Verdict;
using Kind = tamberlo::cli::LogLineClassifier::Kind;

namespace {

std::string Places(const LogFindings& scan) {
    std::string text;
    for (const Finding& finding : scan.Findings()) {
        text += finding.ruleId + "@" + std::to_string(finding.logLine) + ":" +
                (finding.includedFile.empty() ? "" : finding.includedFile + ":") +
                (finding.programLine ? std::to_string(*finding.programLine) : "-") + " " + finding.text + "\n";
    }
    return text;
}

}  // namespace

// Program lines come from SAS's echo form only; "+" lines are submitted or
// included code; a finding's text is its whole message.
TEST(LogFindings, PlacesMessagesInTheProgramAndItsIncludedFiles) {
    const std::vector<std::pair<std::string, std::string>> cases{
        // One line of preamble: program line 2 is echoed as 3.
        {"3          foo;\nERROR 180-322: Statement is not valid.\n",
         "SAS180-322@2:2 ERROR 180-322: Statement is not valid.\n"},
        // A put line that starts with digits is no echo.
        {"3          put;\n99 bottles of beer\nWARNING: x\n", "WARNING@3:2 WARNING: x\n"},
        // Continuation lines, and CRLF and lone CR line ends.
        {"ERROR 22-322, 200-322: long\r\n       and wrapped\rNOTE: x\r\n   not this\n",
         "SAS22-322@1:- ERROR 22-322, 200-322: long and wrapped\n"},
        // CALL EXECUTE's lines keep the line of the step that submitted them.
        {"5          run;\n1      + proc sql;\nERROR: in generated code\n", "ERROR@3:4 ERROR: in generated code\n"},
        // Nested includes name their file and line; the program's lines
        // after them are numbered on past the included ones.
        {"2          %include 'a.sas';\nNOTE: %INCLUDE (level 1) file a.sas is file /p/a.sas.\n"
         "3         +x;\n4         +%include 'b.sas';\nNOTE: %INCLUDE (level 2) file b.sas is file /p/\n"
         "      b.sas.\n5         +y;\nERROR: in b\nNOTE: %INCLUDE (level 2) ending.\n6         +z;\nWARNING: in a\n"
         "NOTE: %INCLUDE (level 1) ending.\n7          after;\nERROR: after\n",
         "ERROR@8:/p/b.sas:1 ERROR: in b\nWARNING@11:/p/a.sas:3 WARNING: in a\nERROR@14:2 ERROR: after\n"},
    };
    const LogRules rules;
    for (const auto& [log, expected] : cases) {
        EXPECT_EQ(Places(LogFindings::Scan(log, rules, 1)), expected) << log;
    }
}

// Exit codes are set aside only where the ignored lines explain them.
TEST(LogFindings, VerdictsNeverCallAFailureASuccess) {
    const LogRules rules({"^ERROR: licence", "^WARNING: licence"}, {"rule=^NOTE: bad"}, false);
    const std::string error = "ERROR: licence\n";
    const std::string warning = "WARNING: licence\n";
    const std::string closing = "NOTE: The SAS System used:\n      real time 0.01 seconds\n\n";
    const std::vector<std::tuple<std::string, std::optional<int>, Verdict>> cases{
        {"", 0, Verdict::Clean},
        {error + closing, 2, Verdict::Clean},
        {error + warning + closing, 2, Verdict::Clean},
        {error + "WARNING: real\n" + closing, 2, Verdict::Warnings},
        {warning + closing, 1, Verdict::Clean},
        {error + closing, 1, Verdict::Warnings},
        // A log cut short explains no exit code.
        {error, 2, Verdict::Failed},
        {warning, 1, Verdict::Warnings},
        {error + "ERROR: real\n", 2, Verdict::Failed},
        {error, 137, Verdict::Failed},
        {error, 3, Verdict::Failed},
        {warning, -1073741819, Verdict::Failed},
        {"NOTE: bad thing\n", 0, Verdict::Failed},
        {"NOTE: bad thing\n", std::nullopt, Verdict::Failed},
    };
    for (const auto& [log, code, verdict] : cases) {
        EXPECT_EQ(LogFindings::Scan(log, rules, 0).VerdictFor(code), verdict) << log << " " << code.value_or(-1);
    }
    // Nor when SAS said on its console that it could not write a file.
    const LogFindings whole = LogFindings::Scan(error + closing, rules, 0);
    EXPECT_EQ(whole.VerdictFor(2, "SAS: unable to write the listing file /t/x.lst\n"), Verdict::Failed);
    EXPECT_EQ(whole.VerdictFor(2, "\r\n"), Verdict::Clean);
    EXPECT_EQ(LogFindings::Scan("NOTE: bad\n", rules, 0).Findings().at(0).ruleId, "rule");
}

// Kept findings are bounded per kind and in size; the counts stay exact.
TEST(LogFindings, KeepsABoundedShareOfEachKind) {
    const LogRules rules({}, {"^NOTE: x"}, false);
    std::string log;
    for (int i = 0; i < 150; ++i) log += "WARNING: w\nNOTE: x\n";
    log += "ERROR: " + std::string(5000, 'e') + "\n";
    const LogFindings scan = LogFindings::Scan(log, rules, 0, nullptr, 100);
    EXPECT_EQ(scan.Counts().warningLines, 150);
    EXPECT_EQ(scan.Counts().errorLines, 151);
    EXPECT_EQ(scan.Findings().size(), 201u);
    EXPECT_EQ(scan.Findings().back().text.size(), LogFindings::MaxTextBytes);
    EXPECT_EQ(scan.Findings().back().text.substr(LogFindings::MaxTextBytes - 4), "e...");
    // An included file's name, which every finding in it names, likewise.
    std::string included = "NOTE: %INCLUDE (level 1) file X is file /p/\n";
    for (int i = 0; i < 2000; ++i) included += "      " + std::string(1000, 'd') + "\n";
    const LogFindings inFile = LogFindings::Scan(included + "      x.sas.\nERROR: e\n", rules, 0);
    EXPECT_EQ(inFile.Findings().at(0).includedFile, "/p/" + std::string(LogFindings::MaxTextBytes - 3, 'd'));
}

TEST(LogRules, TakesRE2PatternsInLinearTime) {
    const std::vector<std::pair<std::string, std::string>> refused{
        {"",
         "--ignore: an empty pattern would match every line; give a regular expression (RE2's syntax: no "
         "look-around, no back-references)"},
        {"(?=x)",
         "--ignore (?=x): not a valid regular expression (RE2's syntax: no look-around, no "
         "back-references): invalid perl operator: (?="},
    };
    for (const auto& [pattern, message] : refused) {
        try {
            LogRules().Ignore(pattern);
            ADD_FAILURE() << pattern;
        } catch (const tamberlo::cli::UsageError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
    // Patterns that make a backtracking matcher run for minutes on a line
    // of 60 characters (bench/ measures the time).
    const LogRules rules({R"(^WARNING: (\w+\s?)+expire)", "(a+)+$"}, {}, false);
    const std::string line = "WARNING: " + std::string(100000, 'a') + "!";
    EXPECT_EQ(LogFindings::Scan(line, rules, 0).Counts().warningLines, 1);
}

// Patterns searched together find what each would find alone, the first
// given winning: anchored or not, plain text or not.
TEST(LogRules, FindsWhatEachPatternFindsAlone) {
    const LogRules rules(
        {"^WARNING: gone", "y$"},
        {"^NOTE: a|tail", "^NOTE: b", R"(in WORK\.X)", "lit", "^(p|q)r", R"(^\Q(\E|zz)", "^[|(]|yy", "(?i)^note: c"},
        false);
    const std::vector<std::pair<std::string, std::string>> cases{
        {"x tail", "fail-on-1"},
        {"NOTE: a", "fail-on-1"},
        {"\fNOTE: b lit", "fail-on-2"},
        {"lit NOTE: b", "fail-on-4"},
        {"in WORKaX", ""},
        {"say in WORK.X", "fail-on-3"},
        {"pr", "fail-on-5"},
        {"xpr", ""},
        {"x zz", "fail-on-6"},
        {"(", "fail-on-6"},
        {"x yy z", "fail-on-7"},
        {"|", "fail-on-7"},
        {"NOTE: C", "fail-on-8"},
        {"WARNING: gone", ""},
        {"WARNING: it is y", ""},
        {"WARNING: y?", "WARNING"},
    };
    for (const auto& [line, id] : cases) {
        const LogFindings scan = LogFindings::Scan(line, rules, 0);
        EXPECT_EQ(scan.Findings().empty() ? "" : scan.Findings().front().ruleId, id) << line;
    }
}

// Line ends found wherever they fall in the log's words.
TEST(LogFindings, LineEndsAtEveryOffset) {
    for (std::size_t offset = 0; offset <= 40; ++offset) {
        for (const std::string end : {"\n", "\r", "\r\n"}) {
            const std::string log = std::string(offset, 'x') + end + "ERROR: e" + end + "WARNING: w";
            EXPECT_EQ(Places(LogFindings::Scan(log, LogRules(), 0)), "ERROR@2:- ERROR: e\nWARNING@3:- WARNING: w\n")
                << offset;
        }
    }
}

TEST(LogFindings, StopsWhenAskedWhileReading) {
    tamberlo::StopSignal stop;
    stop.Request();
    const std::string log(1 << 20, '\n');
    EXPECT_THROW(LogFindings::Scan(log, LogRules(), 0, &stop), tamberlo::RunStopped);
}
