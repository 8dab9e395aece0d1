#pragma once

#include <string>
#include <vector>

namespace tamberlo::bench {

// One line of the summary table that bench/run.sh prints.
struct Row {
    int order = 0;         // place in the table
    std::string what;      // the path measured
    std::string against;   // what it is measured against, in the same run
    std::string measured;  // the figures
    std::string target;
    std::string verdict;  // "met", "MISSED" or "info"
    std::string peak;     // peak memory, where measured
};

// Keeps the row for the summary at the end of the program; a row recorded
// again under the same order replaces the earlier one.
void RecordRow(Row row);
const std::vector<Row>& RecordedRows();

// "3.14 ms", "870 us", "1.20 s"
std::string FormatSeconds(double seconds);
// "1.31x", "1.048x" (three digits below 1.2), "98390x"
std::string FormatRatio(double ratio);
// "201.4 MiB"
std::string FormatMiB(double bytes);

const char* Verdict(bool met);

}  // namespace tamberlo::bench
