// The findings scan of a large log, with a site's rules, against a plain
// read of the same file; and patterns that make a backtracking matcher take
// exponential time, against a plain one.
#include "cli/findings/LogFindings.h"
#include "cli/findings/LogRules.h"
#include "engine/Engine.h"
#include "host/StopSignal.h"
#include "support/BenchText.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace tamberlo::bench {

namespace {

using cli::LogFindings;
using cli::LogRules;

constexpr std::size_t MiB = 1024 * 1024;

// A 100 MiB log (NOTE, WARNING and source lines, a form feed a page) on disk.
const std::string& LogFile() {
    static const std::string path = [] {
        const std::string file = ScratchPath("findings.log");
        WriteFile(file, MakeLog(100 * MiB));
        return file;
    }();
    return path;
}

// What the batch does with a log: read it, then scan it.
LogFindings ReadAndScan(const std::string& path, const LogRules& rules) {
    const FileContent log = ReadFileOnce(path);
    return LogFindings::Scan(std::string_view(log.bytes.get(), log.size), rules, 0);
}

// The scan against the plain read of the file; false when the scan counts
// no WARNING line (the rules would have had nothing to do).
bool ScanAgainstRead(benchmark::State& state, const LogRules& rules, SideBySide& rounds) {
    const std::string& path = LogFile();
    if (ReadAndScan(path, rules).Counts().warningLines == 0) return false;
    for (auto _ : state) {
        rounds.Round([&] { benchmark::DoNotOptimize(ReadAndScan(path, rules).Counts()); },
                     [&] {
                         const FileContent log = ReadFileOnce(path);
                         benchmark::DoNotOptimize(log.bytes.get());
                     });
    }
    return true;
}

void StrictScanAgainstRead(benchmark::State& state) {
    const LogRules rules(
        {"^WARNING: Unable to copy SASUSER", "^WARNING: Your system is scheduled to expire",
         "^WARNING: The Base SAS Software product .* will expire", "^ERROR: Test only [0-9]+", "in WORK\\.NEVER_THERE"},
        {}, true);
    SideBySide rounds;
    if (!ScanAgainstRead(state, rules, rounds)) {
        state.SkipWithError("the log holds no WARNING line");
        return;
    }
    const double ratio = rounds.RatioMedian();
    state.counters["scan_ms"] = rounds.SubjectMedian() * 1e3;
    state.counters["read_ms"] = rounds.ReferenceMedian() * 1e3;
    state.counters["ratio"] = ratio;
    RecordRow({60, "Findings scan, 100 MiB log, --strict and five --ignore", "reading the file once into new memory",
               CpuFigure(rounds), "<= 3x", Verdict(ratio <= 3.0), ""});
}
BENCHMARK(StrictScanAgainstRead)->Iterations(7)->Unit(benchmark::kMillisecond);

// Every WARNING line of the log is matched against the ignore pattern.
void AdversarialPatternsAgainstPlain(benchmark::State& state) {
    const std::string& path = LogFile();
    const LogRules plain({"^WARNING: Variable"}, {}, false);
    const std::vector<std::string> patterns{R"(^WARNING: (\w+\s?)+expire)", "(a+)+$"};
    std::vector<LogRules> adversarial;
    for (const std::string& pattern : patterns)
        adversarial.emplace_back(std::vector<std::string>{pattern}, std::vector<std::string>{}, false);
    std::vector<SideBySide> rounds(patterns.size());
    const auto scan = [&](const LogRules& rules) {
        return [&] { benchmark::DoNotOptimize(ReadAndScan(path, rules).Counts()); };
    };
    for (auto _ : state) {
        for (std::size_t i = 0; i < patterns.size(); ++i) rounds[i].Round(scan(adversarial[i]), scan(plain));
    }
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        const double ratio = rounds[i].RatioMedian();
        state.counters["ratio_" + std::to_string(i + 1)] = ratio;
        RecordRow({static_cast<int>(61 + i), "Findings scan, 100 MiB log, --ignore '" + patterns[i] + "'",
                   "the same with --ignore '^WARNING: Variable'",
                   FormatRatio(ratio) + " (" + FormatSeconds(rounds[i].SubjectMedian()) + " vs " +
                       FormatSeconds(rounds[i].ReferenceMedian()) + ", CPU)",
                   "linear: <= 2x", Verdict(ratio <= 2.0), ""});
    }
}
BENCHMARK(AdversarialPatternsAgainstPlain)->Iterations(5)->Unit(benchmark::kMillisecond);

// One --fail-on of `count` alternatives "(?:x[a-z]{N}y)", N from 10 to 99:
// 1,000 of them make 15.6 KB.
std::string Alternatives(int count) {
    std::string pattern;
    for (int i = 0; i < count; ++i) {
        if (i > 0) pattern += '|';
        pattern += "(?:x[a-z]{" + std::to_string(10 + i % 90) + "}y)";
    }
    return pattern;
}

// Large sets of patterns are searched at the speed of their automaton, not
// fallen back to the NFA once the automaton outgrows RE2's default memory;
// a stop request ends the scan at the next line.
void LargePatternSetsAgainstOne(benchmark::State& state) {
    const std::string log = MakeLog(248 * 1024);
    const LogRules one({}, {Alternatives(1)}, false);
    const std::vector<int> counts{1000, 2000};
    std::vector<LogRules> large;
    std::vector<double> compiled;
    for (const int count : counts) {
        compiled.push_back(TimeOf([&] {
                               large.emplace_back(std::vector<std::string>{},
                                                  std::vector<std::string>{Alternatives(count)}, false);
                           }).cpu);
    }
    std::vector<SideBySide> rounds(counts.size());
    const auto scan = [&log](const LogRules& rules) {
        return [&] { benchmark::DoNotOptimize(LogFindings::Scan(log, rules, 0).Counts()); };
    };
    // The stop: a 16 MiB log scanned with the larger set, again and again
    // until stopped 20 ms in.
    const std::string longLog = MakeLog(16 * MiB);
    std::vector<double> stops;
    for (auto _ : state) {
        for (std::size_t i = 0; i < counts.size(); ++i) rounds[i].Round(scan(large[i]), scan(one));
        StopSignal stop;
        auto scanning = std::async(std::launch::async, [&] {
            try {
                for (;;) LogFindings::Scan(longLog, large.back(), 0, &stop);
            } catch (const RunStopped&) {}
            return std::chrono::steady_clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto requested = std::chrono::steady_clock::now();
        stop.Request();
        stops.push_back(std::chrono::duration<double>(scanning.get() - requested).count());
    }
    for (std::size_t i = 0; i < counts.size(); ++i) {
        const double ratio = rounds[i].RatioMedian();
        state.counters["ratio_" + std::to_string(counts[i])] = ratio;
        RecordRow({static_cast<int>(63 + i),
                   "Findings scan, 248 KiB log, one --fail-on of " + std::to_string(counts[i]) +
                       " alternatives (?:x[a-z]{N}y)",
                   "the same with one alternative (?:x[a-z]{10}y)",
                   CpuFigure(rounds[i], "; compiled in " + FormatSeconds(compiled[i])), "automaton speed: <= 2x",
                   Verdict(ratio <= 2.0), ""});
    }
    const double stopped = Median(stops);
    state.counters["stop_ms"] = stopped * 1e3;
    RecordRow({65, "Stop request to the scan having thrown, 16 MiB log, the 2000 alternatives", "",
               FormatSeconds(stopped) + " median (wall)", "<= 100 ms", Verdict(stopped <= 0.1), ""});
}
BENCHMARK(LargePatternSetsAgainstOne)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace tamberlo::bench
