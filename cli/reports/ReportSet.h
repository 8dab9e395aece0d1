#pragma once

#include "cli/base/OutputNames.h"
#include "cli/run/ReportOptions.h"
#include "cli/run/BatchOptions.h"
#include "cli/reports/JunitJsonReports.h"
#include "cli/reports/ReportFile.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One kind of report: its option, where it is named, how it is written.
struct ReportKind;

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
    ~ReportSet();
    ReportSet(const ReportSet&) = delete;
    ReportSet& operator=(const ReportSet&) = delete;

    bool Empty() const noexcept { return reports_.empty(); }
    // The HTML report shows listings: the programs' listings must be kept for it.
    bool ShowsListings() const noexcept;

    // Writes every report, each even when another fails; false, with the
    // reason on standard error, when one could not be written.
    bool Write(const BatchSummary& summary, const OutcomeSequence& outcomes);

private:
    struct Report {
        const ReportKind* kind;
        std::unique_ptr<ReportFile> file;
    };

    // A report made later may have made its folders inside an earlier
    // one's: they go last first, so that every folder is empty once its
    // maker removes it.
    void RemoveLastFirst() noexcept;

    std::vector<Report> reports_;  // those asked for, in the order of the kinds
};

// The name of a report file of a shard: "reports/junit.xml" for shard 2/3
// is "reports/junit-2of3.xml"; without a shard the name is unchanged.
std::string ReportFileName(const std::string& file, const std::optional<Shard>& shard);

}  // namespace tamberlo::cli
