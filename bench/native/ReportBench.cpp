// DebugInfo over many put files, and a program built from many assignments.
#include "BenchSas.h"
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <optional>

namespace tamberlo::bench {

namespace {

constexpr int PutFileCount = 1000;
constexpr std::size_t PutFileSize = 10 * 1024;

// A runner after a run whose program wrote 10 KiB into each of 1,000 put
// files, none of them read yet.
void PrepareRunnerWithPutFiles(CodeRunner& runner) {
    runner.Reset();
    runner.SetSASCode(ProgramReferringToPutFiles(PutFileCount));
    ExecuteOrAbort(runner, RunSasRoot());
    FillPutFiles(runner, PutFileCount, PutFileSize);
}

void DebugInfoAgainstReadingThePutFiles(benchmark::State& state) {
    CodeRunner runner;
    std::size_t reportSize = 0;
    SideBySide rounds;
    for (auto _ : state) {
        // DebugInfo reads each put file at its first request only: every
        // round starts from a new run.
        PrepareRunnerWithPutFiles(runner);
        const std::vector<std::string> paths = PutFilePaths(runner, PutFileCount);
        rounds.Round(
            [&] {
                const std::string report = runner.DebugInfo();
                reportSize = report.size();
                benchmark::DoNotOptimize(report.data());
            },
            [&] {
                std::vector<FileContent> contents;
                contents.reserve(paths.size());
                for (const std::string& path : paths) contents.push_back(ReadFileOnce(path));
                benchmark::DoNotOptimize(contents.data());
            });
    }
    runner.Reset();
    if (reportSize < PutFileCount * PutFileSize) {
        state.SkipWithError("the report does not hold the put files");
        return;
    }
    const double ratio = rounds.RatioMedian();
    state.counters["debuginfo_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["reads_ms"] = rounds.ReferenceMedian() * 1e3;
    state.counters["ratio"] = ratio;
    state.counters["ratio_wall"] = rounds.RatioMedian(Clock::Wall);
    const std::optional<std::size_t> peak = MeasurePeak("debuginfo");
    RecordRow({80, "DebugInfo with 1,000 put files of 10 KiB", "the sum of reading those files", CpuFigure(rounds),
               "<= 2x", Verdict(ratio <= 2.0), peak ? "+" + FormatMiB(static_cast<double>(*peak)) : "n/a"});
}
BENCHMARK(DebugInfoAgainstReadingThePutFiles)->Iterations(21)->Unit(benchmark::kMillisecond);

const bool debugInfoPeak = RegisterPeakCase("debuginfo", [](PeakProbe& probe, const std::string&) {
    CodeRunner runner;
    PrepareRunnerWithPutFiles(runner);
    probe.Start();
    const std::string report = runner.DebugInfo();
    benchmark::DoNotOptimize(report.data());
    return probe.Stop();
});

std::vector<std::string> Assignments(int count) {
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) {
        lines.push_back("  total_amt_" + std::to_string(n % 97) + " = total_amt + " + std::to_string(n) + ";");
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

void AssignAll(CodeRunner& runner, const std::vector<std::string>& lines, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) runner.SetSASCode(lines[i]);
}

// Puts the allocator in the state of a process that has handled a large
// text before: glibc then serves blocks up to the size of the largest one
// freed (at most 32 MiB) from its heap and keeps them for reuse. Otherwise
// whether a program's blocks come fresh from the system, a page fault a
// page, would depend on which benchmark ran before this one.
void SettleAllocator() {
    const std::unique_ptr<char[]> block(new char[16 * 1024 * 1024]);
    benchmark::DoNotOptimize(block.get());
}

void SasCodeFromManyAssignments(benchmark::State& state) {
    SettleAllocator();
    constexpr int Count = 100000;
    const std::vector<std::string> lines = Assignments(Count);
    const std::string joined = Joined(lines);
    {
        CodeRunner many;
        AssignAll(many, lines, lines.size());
        CodeRunner once;
        once.SetSASCode(joined);
        if (many.SASCode() != once.SASCode()) {
            state.SkipWithError("the two ways build different programs");
            return;
        }
    }

    // Three ways each round, in turn: all assignments, a quarter of them,
    // and the joined text at once. Making and ending the runner is not timed.
    const auto assigning = [&](std::size_t count, bool joinedAtOnce) {
        return [&, count, joinedAtOnce] {
            std::optional<CodeRunner> runner(std::in_place);
            const Timing timing = TimeOf([&] {
                if (joinedAtOnce) {
                    runner->SetSASCode(joined);
                } else {
                    AssignAll(*runner, lines, count);
                }
            });
            benchmark::DoNotOptimize(runner->SASCode().data());
            return timing;
        };
    };
    enum Way : std::size_t { All, Quarter, Once };
    Rotation rounds(3);
    for (auto _ : state) {
        rounds.Round({assigning(lines.size(), false), assigning(lines.size() / 4, false), assigning(0, true)});
    }
    const double all = rounds.MedianOf(All, Clock::ThreadCpu);
    const double quarter = rounds.MedianOf(Quarter, Clock::ThreadCpu);
    const double once = rounds.MedianOf(Once, Clock::ThreadCpu);
    // Ratios as medians of the rounds' own ratios, like every other row.
    const double growth = rounds.RatioMedian(All, Quarter, Clock::ThreadCpu);
    const double toOnce = rounds.RatioMedian(All, Once, Clock::ThreadCpu);
    state.counters["all_ms"] = all * 1e3;
    state.counters["quarter_ms"] = quarter * 1e3;
    state.counters["joined_ms"] = once * 1e3;
    state.counters["growth_4x_count"] = growth;
    char measured[256];
    std::snprintf(measured, sizeof measured,
                  "%s = %s one assignment (%s, CPU); 4x the assignments take %s the time (linear: 4x)",
                  FormatSeconds(all).c_str(), FormatRatio(toOnce).c_str(), FormatSeconds(once).c_str(),
                  FormatRatio(growth).c_str());
    const std::optional<std::size_t> peak = MeasurePeak("sascode");
    RecordRow({90, "SASCode built from 100,000 one-line assignments", "one assignment of the joined text", measured,
               "linear (4x the assignments <= 6x the time)", Verdict(growth <= 6.0),
               peak ? "+" + FormatMiB(static_cast<double>(*peak)) + " (text " +
                          FormatMiB(static_cast<double>(joined.size())) + ")"
                    : "n/a"});
}
BENCHMARK(SasCodeFromManyAssignments)->Iterations(31)->Unit(benchmark::kMillisecond);

const bool sasCodePeak = RegisterPeakCase("sascode", [](PeakProbe& probe, const std::string&) {
    const std::vector<std::string> lines = Assignments(100000);
    CodeRunner runner;
    probe.Start();
    AssignAll(runner, lines, lines.size());
    benchmark::DoNotOptimize(runner.SASCode().data());
    return probe.Stop();
});

}  // namespace

}  // namespace tamberlo::bench
