#pragma once

#include "cli/reports/JunitJsonReports.h"

#include <ostream>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One self-contained HTML page (its style and script inline: nothing from
// the network, no external script or font): the summary (counts by verdict,
// time, machine, shard), a table of the programs that can be filtered by
// verdict and sorted by name, time and findings, and per program, in a
// section that stays collapsed until opened, its findings linked to their
// lines of its log, the log with ERROR lines red, WARNING green and NOTE blue
// (as SAS's log window shows them) and its listing. Of each log and listing
// the first 256 KiB are shown; the rest is named, with a link to the file
// when the files stay (`filesStay`: under --out). `reportFile` is where the
// page goes, which such links are relative to. The query "?verdict=failed,error"
// opens the page filtered, "?sort=findings" sorted, "#p3" or a finding's
// "#p3-l12" opens that program there; a part of the address the page does
// not know or cannot decode is ignored. Streamed like the other reports.
void WriteHtmlReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes,
                     const std::string& reportFile, bool filesStay);

}  // namespace tamberlo::cli
