// The main of every native benchmark program: Google Benchmark's run, then
// the summary rows, printed and, when $TAMBERLO_BENCH_ROWS names a file,
// appended to it one tab-separated line each for bench/run.sh. Started with
// --peak-case=... it instead runs one peak-memory case (see PeakMemory.h).
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
    if (const std::size_t leftOut = tamberlo::bench::LeftOutRounds(); leftOut > 0) {
        // Visible in the table too: a ratio over fewer rounds than asked for.
        tamberlo::bench::RecordRow({999, "Rounds left out of ratios in " + std::string(argv[0]),
                                    "(a side that took no measurable time)", std::to_string(leftOut) + " rounds",
                                    "none", "MISSED", ""});
        std::fprintf(stderr, "bench: %zu rounds left out of ratios: a side took no measurable time\n", leftOut);
    }
    PrintRows();
    return 0;
}
