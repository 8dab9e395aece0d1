// The put-file scan: its single pass against one memchr pass over the same
// program, and against the search of every number 1 to 9999 that it replaces.
#include "engine/PutFileScan.h"
#include "tests/support/NaiveForms.h"
#include "support/BenchText.h"
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace tamberlo::bench {

namespace {

constexpr std::size_t MiB = 1024 * 1024;

const std::string& Program(std::size_t size) {
    static std::string program16 = MakeSasProgram(16 * MiB);
    static std::string program1 = MakeSasProgram(1 * MiB);
    return size == 16 * MiB ? program16 : program1;
}

// The plain form of the scan, the reference it must agree with: an
// upper-case copy of the program, then one substring search from its start
// for "_PUT" followed by each number from 1 to 9999 (the tests' own form).
std::vector<int> SearchEveryNumber(const std::string& program) { return test::naive::NineThousandSearches(program); }

void PutFileScanAgainstMemchr(benchmark::State& state) {
    const std::string& program = Program(16 * MiB);
    if (FindPutFileNumbers(program).empty()) {
        state.SkipWithError("the program mentions no put file");
        return;
    }
    SideBySide rounds;
    for (auto _ : state) {
        rounds.Round(
            [&] {
                const std::vector<int> numbers = FindPutFileNumbers(program);
                benchmark::DoNotOptimize(numbers.data());
            },
            [&] {
                // A byte the program does not hold: memchr reads all of it.
                const void* found = std::memchr(program.data(), '\0', program.size());
                benchmark::DoNotOptimize(found);
            });
    }
    const double ratio = rounds.RatioMedian();
    state.counters["scan_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["memchr_ms"] = rounds.ReferenceMedian() * 1e3;
    state.counters["ratio"] = ratio;
    state.counters["ratio_wall"] = rounds.RatioMedian(Clock::Wall);

    const std::optional<std::size_t> peak = MeasurePeak("scan");
    RecordRow({10, "Put-file scan, 16 MiB program", "one memchr pass over the same text", CpuFigure(rounds), "<= 2x",
               Verdict(ratio <= 2.0), peak ? "+" + FormatMiB(static_cast<double>(*peak)) : "n/a"});
}
BENCHMARK(PutFileScanAgainstMemchr)->Iterations(201)->Unit(benchmark::kMillisecond);

const bool scanPeak = RegisterPeakCase("scan", [](PeakProbe& probe, const std::string&) {
    const std::string program = MakeSasProgram(16 * MiB);
    probe.Start();
    const std::vector<int> numbers = FindPutFileNumbers(program);
    benchmark::DoNotOptimize(numbers.data());
    return probe.Stop();
});

void EveryNumberSearchedAgainstScan(benchmark::State& state) {
    const std::string& program = Program(1 * MiB);
    if (SearchEveryNumber(program) != FindPutFileNumbers(program)) {
        state.SkipWithError("the two forms of the scan disagree");
        return;
    }
    // Both forms timed alike: one call each a round, in alternating order,
    // each right after an untimed pass over the program, so that both start
    // with it in the caches. (A batch would be fair too, but a batch of the
    // 9999 searches takes minutes.)
    const auto warm = [&] { benchmark::DoNotOptimize(std::memchr(program.data(), '\0', program.size())); };
    const auto searchEveryNumber = [&] {
        warm();
        return TimeOf([&] {
            const std::vector<int> numbers = SearchEveryNumber(program);
            benchmark::DoNotOptimize(numbers.data());
        });
    };
    const auto scan = [&] {
        warm();
        return TimeOf([&] {
            const std::vector<int> numbers = FindPutFileNumbers(program);
            benchmark::DoNotOptimize(numbers.data());
        });
    };
    SideBySide rounds;
    for (auto _ : state) {
        Timing everyNumber;
        Timing once;
        if (rounds.Rounds() % 2 == 0) {
            everyNumber = searchEveryNumber();
            once = scan();
        } else {
            once = scan();
            everyNumber = searchEveryNumber();
        }
        rounds.Add(everyNumber, once);
    }
    const double speedUp = rounds.RatioMedian();
    state.counters["every_number_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["scan_us"] = rounds.ReferenceMedian() * 1e6;
    state.counters["speed_up"] = speedUp;
    RecordRow({20, "9999 searches (the tests' plain form), 1 MiB program", "the real scan",
               "real scan " + FormatRatio(speedUp) + " faster (" + FormatSeconds(rounds.ReferenceMedian()) + " vs " +
                   FormatSeconds(rounds.SubjectMedian()) + ", CPU)",
               "real scan >= 1000x faster", Verdict(speedUp >= 1000), ""});
}
BENCHMARK(EveryNumberSearchedAgainstScan)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace tamberlo::bench
