// The main of every native benchmark program: Google Benchmark's run, then
// the summary rows, printed and, when $TAMBERLO_BENCH_ROWS names a file,
// appended to it one tab-separated line each for bench/run.sh. Started with
// --peak-case=... it instead runs one peak-memory case (see PeakMemory.h).
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/Scratch.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

namespace {

void PrintRows() {
    using tamberlo::bench::RecordedRows;
    if (RecordedRows().empty()) return;
    std::printf("\n");
    for (const auto& row : RecordedRows()) {
        std::printf("%-58s %-40s target %-28s %s%s%s\n", row.what.c_str(), row.measured.c_str(), row.target.c_str(),
                    row.verdict.c_str(), row.peak.empty() ? "" : "  peak ", row.peak.c_str());
    }
    const char* rowsFile = std::getenv("TAMBERLO_BENCH_ROWS");
    if (!rowsFile || !*rowsFile) return;
    std::FILE* out = std::fopen(rowsFile, "a");
    if (!out) {
        std::perror(rowsFile);
        return;
    }
    for (const auto& row : RecordedRows()) {
        std::fprintf(out, "%d\t%s\t%s\t%s\t%s\t%s\t%s\n", row.order, row.what.c_str(), row.against.c_str(),
                     row.measured.c_str(), row.target.c_str(), row.verdict.c_str(), row.peak.c_str());
    }
    std::fclose(out);
}

}  // namespace

int main(int argc, char** argv) {
    tamberlo::bench::ScratchFolder();
    int exitCode = 0;
    if (tamberlo::bench::RunPeakCaseFromArguments(argc, argv, exitCode)) return exitCode;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRows();
    return 0;
}
