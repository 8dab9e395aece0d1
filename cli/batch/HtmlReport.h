#pragma once

#include "cli/batch/BatchReport.h"

#include <ostream>
#include <vector>

namespace tamberlo::cli {

// One self-contained HTML page (its style and script inline: nothing from
// the network, no external script or font): the summary (counts by verdict,
// time, machine, shard), a table of the programs that can be filtered by
// verdict and sorted by name, time and findings, and per program, in a
// section that stays collapsed until opened, its findings linked to their
// lines of its log, the log with ERROR lines red, WARNING green and NOTE blue
// (as SAS's log window shows them) and its listing. Each log and listing is
// shown up to 256 KiB; the rest is named, with a link to the file under --out.
// Streamed like the other reports.
void WriteHtmlReport(std::ostream& out, const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes);

}  // namespace tamberlo::cli
