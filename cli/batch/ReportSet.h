#pragma once

#include "cli/OutputNames.h"
#include "cli/batch/BatchOptions.h"
#include "cli/batch/BatchReport.h"
#include "cli/batch/ReportFile.h"

#include <functional>
#include <optional>
#include <vector>

namespace tamberlo::cli {

// The report files a command was asked for (--junit, --json, --html), the
// one place that names, checks, opens and writes them, for `batch` and
// `scan` alike.
class ReportSet {
public:
    // Names each report after the shard and refuses (UsageError) a name that
    // is a folder or the same file as another report or as a file that
    // `others` adds (the command's inputs and other outputs; called only
    // when a report was asked for), before anything is made; then opens
    // each report (ReportFile).
    ReportSet(const BatchOptions& options, const std::function<void(OutputNames&)>& others);

    bool Any() const noexcept { return junit_ || json_ || html_; }
    // The HTML report shows listings.
    bool ShowsListings() const noexcept { return html_.has_value(); }

    // Writes every report, even when one fails; false when one could not be
    // written (said on standard error). `filesStay`: the logs and listings
    // the outcomes name stay after the command (--out), so the page may
    // link them.
    bool Write(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes, bool filesStay);

private:
    std::optional<ReportFile> junit_;
    std::optional<ReportFile> json_;
    std::optional<ReportFile> html_;
};

}  // namespace tamberlo::cli
