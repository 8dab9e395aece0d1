// The SARIF report written from outcomes without running a batch.

#include "cli/reports/SarifReport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <string>
#include <vector>

using namespace tamberlo;
using nlohmann::json;

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
