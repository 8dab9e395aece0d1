// tamberlo batch at scale: its peak memory as the number of programs and the
// size of their logs grow, and the time of its HTML report for 10,000
// programs; tamberlo scan over a 1 GiB log: the whole process's peak memory,
// which must not grow with the log (blocks read, a line kept to its first
// MiB), and its time against a plain read of the same file.
#include "cli/reports/HtmlReport.h"
#include "support/Rows.h"
#include "support/Scratch.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

namespace fs = std::filesystem;

constexpr int ManyPrograms = 10000;
constexpr int LargeLogPrograms = 1000;
constexpr std::size_t LargeLog = 1 << 20;

// A folder of `count` one-line programs.
std::string ProgramFolder(const std::string& name, int count) {
    const std::string folder = ScratchPath(name);
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char file[32];
        std::snprintf(file, sizeof file, "/p%05d.sas", i);
        WriteFile(folder + file, "data _null_; run;\r\n");
    }
    return folder;
}

// A log of about `size` bytes as SAS writes them: source lines, NOTEs, now
// and then a WARNING.
std::string MadeLog(std::size_t size) {
    std::string log;
    for (int line = 1; log.size() < size; ++line) {
        log += std::to_string(line) + "          data _null_; set work.sales; total = price * units; run;\r\n";
        log += line % 50 == 0 ? "WARNING: Apparent symbolic reference NOT_THERE not resolved.\r\n"
                              : "NOTE: DATA statement used (Total process time):\r\n";
    }
    return log;
}

// Runs the command and returns its peak resident size in bytes (the
// kernel's high-water mark of the process), or -1 when it failed to start.
double PeakOfCommand(const std::vector<std::string>& arguments, const std::string& logFrom) {
    if (logFrom.empty()) {
        unsetenv("BENCHSAS_LOG_FROM");
    } else {
        setenv("BENCHSAS_LOG_FROM", logFrom.c_str(), 1);
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024;
}

// `tamberlo batch -j 2` over a folder with every report, into the scratch
// folder under `name`.
std::vector<std::string> BatchWithReports(const std::string& folder, const std::string& name) {
    return {TAMBERLO_BENCH_COMMAND,
            "batch",
            "-j",
            "2",
            "--sas-root",
            TAMBERLO_BENCH_LINKING_SAS_ROOT,
            "--junit",
            ScratchPath(name + ".xml"),
            "--json",
            ScratchPath(name + ".json"),
            "--html",
            ScratchPath(name + ".html"),
            folder};
}

void BatchPeakMemory(benchmark::State& state) {
    const std::string many = ProgramFolder("many", ManyPrograms);
    const std::string large = ProgramFolder("large", LargeLogPrograms);
    const std::string log = ScratchPath("large.log");
    WriteFile(log, MadeLog(LargeLog));
    double peakMany = 0;
    double peakLarge = 0;
    for (auto _ : state) {
        peakMany = PeakOfCommand(BatchWithReports(many, "many"), {});
        peakLarge = PeakOfCommand(BatchWithReports(large, "large"), log);
    }
    state.counters["peak_10000_MiB"] = peakMany / (1 << 20);
    state.counters["peak_1000x1MiB_MiB"] = peakLarge / (1 << 20);
    const double ratio = peakMany / peakLarge;
    constexpr double limit = 64.0 * (1 << 20);
    RecordRow({20, "Batch peak memory: 10,000 one-line programs",
               "1,000 programs with 1 MiB logs; both -j 2 with --junit, --json and --html",
               FormatMiB(peakMany) + " against " + FormatMiB(peakLarge) + " (" + FormatRatio(ratio) + ")",
               "<= 1.2x, both < 64 MiB, 10,000 < 32 MiB",
               Verdict(ratio <= 1.2 && peakMany < limit && peakLarge < limit && peakMany < limit / 2), ""});
}
BENCHMARK(BatchPeakMemory)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

// Every program's log holds 150 WARNING lines, more than the findings a
// program keeps of a kind: a finished program's kept findings wait on disk,
// so the peak must not grow with programs times findings.
void BatchPeakMemoryOfManyFindings(benchmark::State& state) {
    const std::string log = ScratchPath("warned.log");
    std::string text;
    for (int line = 1; line <= 150; ++line) {
        text += std::to_string(line) + "          data work.t" + std::to_string(line) + "; set raw.t; run;\r\n";
        text += "WARNING: Variable x" + std::to_string(line) + " already exists on file WORK.T, and is replaced.\r\n";
    }
    WriteFile(log, text);
    const std::string few = ProgramFolder("warned", 2000);
    const std::string many = ProgramFolder("warnedMany", 20000);
    double peak = 0;
    double peakMany = 0;
    for (auto _ : state) {
        peak = PeakOfCommand(BatchWithReports(few, "warned"), log);
        peakMany = PeakOfCommand(BatchWithReports(many, "warnedMany"), log);
    }
    state.counters["peak_MiB"] = peak / (1 << 20);
    state.counters["peak_20000_MiB"] = peakMany / (1 << 20);
    RecordRow({22, "Batch peak memory: 2,000 programs with 150 WARNING lines each",
               "(a size; -j 2 with --junit, --json and --html)", FormatMiB(peak), "< 32 MiB",
               Verdict(peak > 0 && peak < 32.0 * (1 << 20)), ""});
    const double ratio = peakMany / peak;
    RecordRow({22, "Batch peak memory: 20,000 programs with 150 WARNING lines each", "the 2,000 programs above",
               FormatMiB(peakMany) + " (" + FormatRatio(ratio) + ")", "<= 1.2x",
               Verdict(peak > 0 && peakMany > 0 && ratio <= 1.2), ""});
}
BENCHMARK(BatchPeakMemoryOfManyFindings)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void HtmlReportOfTenThousandPrograms(benchmark::State& state) {
    // Outcomes as a batch of one-line programs leaves them: a small log and
    // listing on disk each, a finding now and then.
    const std::string folder = ScratchPath("html");
    fs::create_directories(folder);
    const std::string log = MadeLog(900);
    std::vector<cli::ProgramOutcome> outcomes(ManyPrograms);
    for (int i = 0; i < ManyPrograms; ++i) {
        cli::ProgramOutcome& outcome = outcomes[i];
        outcome.program.name = "p" + std::to_string(i);
        outcome.program.path = "programs/" + outcome.program.name + ".sas";
        outcome.logFile = folder + "/" + outcome.program.name + ".log";
        outcome.lstFile = folder + "/" + outcome.program.name + ".lst";
        WriteFile(outcome.logFile, log);
        WriteFile(outcome.lstFile, "\f                                 The SAS System\r\n\r\nlisted\r\n");
        outcome.seconds = 0.01 * (i % 7);
        if (i % 10 == 0) {
            outcome.verdict = cli::ProgramOutcome::Verdict::Warnings;
            outcome.logLines.warningLines = 1;
            outcome.findings.push_back({cli::LogLineClassifier::Kind::Warning, "WARNING", 100, 50, "",
                                        "WARNING: Apparent symbolic reference NOT_THERE not resolved."});
        }
    }
    cli::BatchSummary summary;
    summary.suiteName = "tamberlo batch";
    summary.programs = outcomes.size();
    const std::string page = ScratchPath("report.html");
    double seconds = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        {
            std::ofstream out(page, std::ios::binary);
            cli::WriteHtmlReport(out, summary, outcomes, page, false);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        state.SetIterationTime(seconds);
    }
    state.counters["size_MiB"] = static_cast<double>(fs::file_size(page)) / (1 << 20);
    RecordRow({21, "HTML report of 10,000 programs", "(a time; logs of 1 KiB and listings on disk)",
               FormatSeconds(seconds) + ", " + FormatMiB(static_cast<double>(fs::file_size(page))), "< 1 s",
               Verdict(seconds < 1.0), ""});
}
BENCHMARK(HtmlReportOfTenThousandPrograms)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    double read = 0;
    double seconds = 0;
    double peak = 0;
    double peakSmall = 0;
    for (auto _ : state) {
        read = PlainRead(log);
        const auto started = std::chrono::steady_clock::now();
        peak = PeakOfCommand({TAMBERLO_BENCH_COMMAND, "scan", "--strict", log}, {});
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        peakSmall = PeakOfCommand({TAMBERLO_BENCH_COMMAND, "scan", "--strict", small}, {});
    }
    std::remove(log.c_str());
    std::remove(small.c_str());
    state.counters["peak_1GiB_MiB"] = peak / (1 << 20);
    state.counters["peak_16MiB_MiB"] = peakSmall / (1 << 20);
    const double growth = peak / peakSmall;
    RecordRow({22, "tamberlo scan --strict of a 1 GiB log (a 256 MiB line in it), whole process",
               "the same scan of a 16 MiB log; reading the 1 GiB file once in 64 KiB blocks",
               "peak " + FormatMiB(peak) + " against " + FormatMiB(peakSmall) + " (" + FormatRatio(growth) + "); " +
                   FormatSeconds(seconds) + " against " + FormatSeconds(read) + " (" + FormatRatio(seconds / read) +
                   ")",
               "peak <= 1.2x the 16 MiB log's; time info", Verdict(growth <= 1.2), FormatMiB(peak)});
}
BENCHMARK(ScanOfAGibibyteLog)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace tamberlo::bench
