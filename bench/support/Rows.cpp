#include "support/Rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tamberlo::bench {

namespace {

std::vector<Row>& Rows() {
    static std::vector<Row> rows;
    return rows;
}

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void RecordRow(Row row) {
    std::vector<Row>& rows = Rows();
    const auto same = std::find_if(rows.begin(), rows.end(), [&](const Row& old) { return old.order == row.order; });
    if (same != rows.end()) {
        *same = std::move(row);
    } else {
        rows.push_back(std::move(row));
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.order < b.order; });
}

const std::vector<Row>& RecordedRows() { return Rows(); }

std::string FormatSeconds(double seconds) {
    if (seconds >= 1) return Printed("%.2f s", seconds);
    if (seconds >= 1e-3) return Printed(seconds >= 0.1 ? "%.0f ms" : "%.2f ms", seconds * 1e3);
    return Printed(seconds >= 1e-4 ? "%.0f us" : "%.1f us", seconds * 1e6);
}

std::string FormatRatio(double ratio) {
    if (ratio >= 100) return Printed("%.0fx", ratio);
    if (ratio >= 10) return Printed("%.1fx", ratio);
    // Near 1 a third digit tells 1.049 from 1.051.
    return Printed(ratio < 1.2 ? "%.3fx" : "%.2fx", ratio);
}

std::string FormatMiB(double bytes) { return Printed("%.1f MiB", bytes / (1024.0 * 1024.0)); }

const char* Verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace tamberlo::bench
