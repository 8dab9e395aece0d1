// tamberlo scan over a 1 GiB log: the whole process's peak memory, which
// must not grow with the log (blocks read, a line kept to its first MiB),
// and its time against a plain read of the same file.
#include "support/Rows.h"
#include "support/Scratch.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace tamberlo::bench {
namespace {

constexpr std::size_t GiB = std::size_t{1} << 30;

// About `size` bytes as SAS writes a log, source lines, NOTEs and now and
// then a WARNING, ending in one line of 256 MiB (a runaway PUT): written a
// piece at a time.
void WriteLog(const std::string& path, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    std::string piece;
    std::size_t written = 0;
    const std::size_t longLine = size / 4;
    for (int line = 1; written + longLine < size; ++line) {
        piece += std::to_string(line) + "          data _null_; set work.sales; total = price * units; run;\r\n";
        piece += line % 50 == 0 ? "WARNING: Apparent symbolic reference NOT_THERE not resolved.\r\n"
                                : "NOTE: DATA statement used (Total process time):\r\n";
        if (piece.size() >= (1 << 20)) {
            out << piece;
            written += piece.size();
            piece.clear();
        }
    }
    out << piece << "ERROR: ";
    const std::string block(1 << 20, 'x');
    for (std::size_t at = 0; at < longLine; at += block.size()) out << block;
    out << "\r\n";
}

struct Measured {
    double seconds = 0;
    double peakBytes = 0;
};

// Runs the command with its output to /dev/null: its wall time and peak
// resident size (the kernel's high-water mark of the process).
Measured RunCommand(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return {-1, -1};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(),
            static_cast<double>(usage.ru_maxrss) * 1024};
}

// Reading the file once in 64 KiB blocks, as the scan reads it.
double PlainRead(const std::string& path) {
    const auto started = std::chrono::steady_clock::now();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<char> block(1 << 16);
    std::size_t total = 0;
    while (const std::size_t got = std::fread(block.data(), 1, block.size(), file)) total += got;
    std::fclose(file);
    benchmark::DoNotOptimize(total);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

void ScanOfAGibibyteLog(benchmark::State& state) {
    const std::string log = ScratchPath("big.log");
    WriteLog(log, GiB);
    const std::string small = ScratchPath("small.log");
    WriteLog(small, GiB / 64);
    Measured scan, scanSmall;
    double read = 0;
    for (auto _ : state) {
        read = PlainRead(log);
        scan = RunCommand({TAMBERLO_BENCH_COMMAND, "scan", "--strict", log});
        scanSmall = RunCommand({TAMBERLO_BENCH_COMMAND, "scan", "--strict", small});
    }
    std::remove(log.c_str());
    std::remove(small.c_str());
    state.counters["peak_1GiB_MiB"] = scan.peakBytes / (1 << 20);
    state.counters["peak_16MiB_MiB"] = scanSmall.peakBytes / (1 << 20);
    const double growth = scan.peakBytes / scanSmall.peakBytes;
    RecordRow({22, "tamberlo scan --strict of a 1 GiB log (a 256 MiB line in it), whole process",
               "the same scan of a 16 MiB log; reading the 1 GiB file once in 64 KiB blocks",
               "peak " + FormatMiB(scan.peakBytes) + " against " + FormatMiB(scanSmall.peakBytes) + " (" +
                   FormatRatio(growth) + "); " + FormatSeconds(scan.seconds) + " against " + FormatSeconds(read) +
                   " (" + FormatRatio(scan.seconds / read) + ")",
               "peak <= 1.2x the 16 MiB log's; time info", Verdict(growth <= 1.2), FormatMiB(scan.peakBytes)});
}
BENCHMARK(ScanOfAGibibyteLog)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace tamberlo::bench
