// Reading a 100 MiB log through CodeRunner, against reading the file once.
#include "BenchSas.h"
#include "support/BenchText.h"
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "host/SessionEncoding.h"

#include <chrono>
#include <optional>

namespace tamberlo::bench {

namespace {

constexpr std::size_t LogSize = 100 * 1024 * 1024;

// The log file, made once per process.
const std::string& LogFile() {
    static const std::string path = [] {
        const std::string file = ScratchPath("big.log");
        WriteFile(file, MakeLog(LogSize));
        return file;
    }();
    return path;
}

// A run whose SAS hands over the ready log file as its log.
void RunWithLog(CodeRunner& runner, const std::string& logFile) {
    const ScopedEnvironment log("BENCHSAS_LOG_FROM", logFile);
    ExecuteOrAbort(runner, LinkingSasRoot());
}

CodeRunner& RunnerHoldingTheLog() {
    // Made once, on first use; a CodeRunner is neither copied nor moved.
    static CodeRunner runner;
    static const bool ran = [] {
        runner.SetSASCode("data _null_; put 'a long log'; run;");
        RunWithLog(runner, LogFile());
        return true;
    }();
    (void)ran;
    return runner;
}

void LogReadAgainstOneFileRead(benchmark::State& state) {
    CodeRunner& runner = RunnerHoldingTheLog();
    if (runner.Log().size() < LogSize) {
        state.SkipWithError("the run did not bring the whole log back");
        return;
    }
    SideBySide rounds;
    for (auto _ : state) {
        rounds.Round(
            [&] {
                const std::string log = runner.Log();
                benchmark::DoNotOptimize(log.data());
            },
            [&] {
                const FileContent content = ReadFileOnce(LogFile());
                benchmark::DoNotOptimize(content.bytes.get());
            });
    }
    const double ratio = rounds.RatioMedian();
    state.counters["log_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["read_ms"] = rounds.ReferenceMedian() * 1e3;
    state.counters["ratio"] = ratio;
    state.counters["ratio_wall"] = rounds.RatioMedian(Clock::Wall);

    const std::optional<std::size_t> peak = MeasurePeak("log", LogFile());
    const std::optional<std::size_t> readPeak = MeasurePeak("read-once", LogFile());
    const double peakTimes = peak ? static_cast<double>(*peak) / LogSize : 0;
    state.counters["peak_per_file"] = peakTimes;
    std::string peakText = "n/a";
    if (peak) {
        peakText = "+" + FormatMiB(static_cast<double>(*peak)) + " = " + FormatRatio(peakTimes) + " the file";
        if (readPeak) peakText += " (one read: " + FormatRatio(static_cast<double>(*readPeak) / LogSize) + ")";
    }
    RecordRow({40, "Log read through CodeRunner, 100 MiB log", "reading the file once into memory", CpuFigure(rounds),
               "<= 2x time, peak <= 3x file", Verdict(ratio <= 2.0 && peak && peakTimes <= 3.0), peakText});
}
BENCHMARK(LogReadAgainstOneFileRead)->Iterations(21)->Unit(benchmark::kMillisecond);

// The whole way of the log: the run reads it back from SAS's file, then the
// client reads Log. The run's share includes starting the (linking) SAS.
void RunAndLogReadAgainstOneFileRead(benchmark::State& state) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; put 'a long log'; run;");
    SideBySide rounds;
    for (auto _ : state) {
        rounds.Round(
            [&] {
                RunWithLog(runner, LogFile());
                const std::string log = runner.Log();
                benchmark::DoNotOptimize(log.data());
            },
            [&] {
                const FileContent content = ReadFileOnce(LogFile());
                benchmark::DoNotOptimize(content.bytes.get());
            });
    }
    // The SAS started here is another process: wall time.
    const double ratio = rounds.RatioMedian(Clock::Wall);
    state.counters["run_and_log_ms"] = rounds.SubjectMedian(Clock::Wall) * 1e3;
    state.counters["read_ms"] = rounds.ReferenceMedian(Clock::Wall) * 1e3;
    state.counters["ratio"] = ratio;
    RecordRow({41, "Execute's read-back + Log, 100 MiB log (SAS start included)", "reading the file once into memory",
               FormatRatio(ratio) + " (" + FormatSeconds(rounds.SubjectMedian(Clock::Wall)) + " vs " +
                   FormatSeconds(rounds.ReferenceMedian(Clock::Wall)) + ", wall)",
               "(two reads of the text: about 2x)", "info", ""});
}
BENCHMARK(RunAndLogReadAgainstOneFileRead)->Iterations(21)->Unit(benchmark::kMillisecond);

// A UTF-8 session's log (a two-byte character in every line) decoded for
// --json, against one read of the file. The JSON string made of it costs
// the same whatever the encoding (nlohmann's dump): timed apart, as info.
void Utf8LogIntoJsonAgainstOneFileRead(benchmark::State& state) {
    static const std::string file = [] {
        std::string log = MakeLog(LogSize);
        for (std::size_t at = log.find('\n'); at != std::string::npos && at + 3 < log.size();
             at = log.find('\n', at + 1)) {
            log[at + 1] = '\xC3';
            log[at + 2] = '\xBC';
        }
        const std::string path = ScratchPath("big-utf8.log");
        WriteFile(path, log);
        return path;
    }();
    const SessionEncoding utf8 = *SessionEncoding::FromName("UTF-8");
    const FileContent stored = ReadFileOnce(file);
    const std::string log(stored.bytes.get(), stored.size);
    SideBySide rounds;
    std::size_t undecodable = 0;
    for (auto _ : state) {
        rounds.Round(
            [&] {
                const std::string text = utf8.ToUtf8(log, &undecodable);
                benchmark::DoNotOptimize(text.data());
            },
            [&] {
                const FileContent content = ReadFileOnce(file);
                benchmark::DoNotOptimize(content.bytes.get());
            });
    }
    const double ratio = rounds.RatioMedian();
    const auto dumpStart = std::chrono::steady_clock::now();
    const std::string json = nlohmann::json(utf8.ToUtf8(log)).dump();
    benchmark::DoNotOptimize(json.data());
    const double dumpSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - dumpStart).count();
    state.counters["json_ms"] = dumpSeconds * 1e3;
    state.counters["decode_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["read_ms"] = rounds.ReferenceMedian() * 1e3;
    state.counters["ratio"] = ratio;
    RecordRow({42, "UTF-8 log decoded for --json, 100 MiB log", "reading the file once into memory",
               CpuFigure(rounds, "; its JSON string once: " + FormatSeconds(dumpSeconds) + ", wall"), "<= 2x time",
               Verdict(ratio <= 2.0 && undecodable == 0), ""});
}
BENCHMARK(Utf8LogIntoJsonAgainstOneFileRead)->Iterations(11)->Unit(benchmark::kMillisecond);

// The run brings the log in, the client reads it: the memory of both.
const bool logPeak = RegisterPeakCase("log", [](PeakProbe& probe, const std::string& logFile) {
    CodeRunner runner;
    runner.SetSASCode("data _null_; put 'a long log'; run;");
    probe.Start();
    RunWithLog(runner, logFile);
    const std::string log = runner.Log();
    benchmark::DoNotOptimize(log.data());
    return probe.Stop();
});

const bool readPeak = RegisterPeakCase("read-once", [](PeakProbe& probe, const std::string& file) {
    probe.Start();
    const FileContent content = ReadFileOnce(file);
    benchmark::DoNotOptimize(content.bytes.get());
    return probe.Stop();
});

}  // namespace

}  // namespace tamberlo::bench
