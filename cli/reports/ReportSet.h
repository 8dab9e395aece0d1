#pragma once

#include "cli/base/OutputNames.h"
#include "cli/run/ReportOptions.h"
#include "cli/run/BatchOptions.h"
#include "cli/reports/JunitJsonReports.h"
#include "cli/reports/ReportFile.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// Every report a command was asked for (--junit, --json FILE, --html,
// --sarif, --codequality), the batch's and a single run's alike: named,
// checked and created before anything runs, written together at the end.
class ReportSet {
public:
    // True when `options` or `jsonFile` name any report.
    static bool Requested(const ReportOptions& options, const std::optional<std::string>& jsonFile);

    // Names each report after `shard` and refuses, with a UsageError naming
    // the option, a name that is a folder (as given, shard or not), and one
    // that meets another report or a file already in `names` (the command's
    // programs and other outputs); only then creates the ReportFiles
    // (ReportFile's own checks).
    ReportSet(const ReportOptions& options, const std::optional<std::string>& jsonFile,
              const std::optional<Shard>& shard, OutputNames& names);

    bool Empty() const noexcept;
    // The HTML report shows listings: the programs' listings must be kept for it.
    bool ShowsListings() const noexcept { return html_.has_value(); }

    // Writes every report, each even when another fails; false, with the
    // reason on standard error, when one could not be written.
    bool Write(const BatchSummary& summary, const OutcomeSequence& outcomes);

private:
    std::optional<ReportFile> junit_, json_, html_, sarif_, codeQuality_;
};

// The name of a report file of a shard: "reports/junit.xml" for shard 2/3
// is "reports/junit-2of3.xml"; without a shard the name is unchanged.
std::string ReportFileName(const std::string& file, const std::optional<Shard>& shard);

}  // namespace tamberlo::cli
