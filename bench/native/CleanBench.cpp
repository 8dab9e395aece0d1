// CleanControlChars on a listing, against copying the same bytes.
#include "host/ControlChars.h"
#include "support/BenchText.h"
#include "support/PeakMemory.h"
#include "support/Rows.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

namespace tamberlo::bench {

namespace {

constexpr std::size_t MiB = 1024 * 1024;

const std::string& Listing() {
    static const std::string listing = MakeListing(64 * MiB);
    return listing;
}

// The cleaner returns new memory, so the first comparison copies into new
// memory too: a fresh block of the same size, as any function returning a
// copy of the text must fill (most of either is the kernel's page faults).
// The second copies into a block written before, the cheapest copy there
// is, against the cleaning appended into a string used again, as a report
// laid out at its size or a buffer kept from call to call is filled.
void CleanControlCharsAgainstMemcpy(benchmark::State& state) {
    const std::string& listing = Listing();
    const std::size_t size = listing.size();
    const std::unique_ptr<char[]> warm(new char[size]);
    std::memset(warm.get(), 0, size);
    std::string reused;
    AppendCleanControlChars(reused, listing);

    SideBySide intoNewMemory;
    SideBySide intoWrittenMemory;
    std::size_t cleanedSize = 0;
    for (auto _ : state) {
        const auto clean = [&] {
            const std::string cleaned = CleanControlChars(listing);
            cleanedSize = cleaned.size();
            benchmark::DoNotOptimize(cleaned.data());
        };
        intoNewMemory.Round(clean, [&] {
            const std::unique_ptr<char[]> copy(new char[size]);
            std::memcpy(copy.get(), listing.data(), size);
            benchmark::DoNotOptimize(copy.get());
        });
        const auto cleanIntoWritten = [&] {
            reused.clear();
            AppendCleanControlChars(reused, listing);
            benchmark::DoNotOptimize(reused.data());
        };
        intoWrittenMemory.Round(cleanIntoWritten, [&] {
            std::memcpy(warm.get(), listing.data(), size);
            benchmark::DoNotOptimize(warm.get());
            benchmark::ClobberMemory();
        });
    }
    const double ratio = intoNewMemory.RatioMedian();
    const double warmRatio = intoWrittenMemory.RatioMedian();
    state.counters["clean_ms"] = intoNewMemory.SubjectMedian() * 1e3;
    state.counters["memcpy_new_ms"] = intoNewMemory.ReferenceMedian() * 1e3;
    state.counters["memcpy_written_ms"] = intoWrittenMemory.ReferenceMedian() * 1e3;
    state.counters["ratio_new"] = ratio;
    state.counters["ratio_written"] = warmRatio;
    state.counters["ratio_new_wall"] = intoNewMemory.RatioMedian(Clock::Wall);
    state.counters["grown_bytes"] = static_cast<double>(cleanedSize - size);

    const std::optional<std::size_t> peak = MeasurePeak("clean");
    RecordRow({30, "CleanControlChars, 64 MiB listing", "memcpy of the same size into new memory",
               FormatRatio(ratio) + " (" + FormatSeconds(intoNewMemory.SubjectMedian()) + " vs " +
                   FormatSeconds(intoNewMemory.ReferenceMedian()) + ", CPU)",
               "<= 2x", Verdict(ratio <= 2.0), peak ? "+" + FormatMiB(static_cast<double>(*peak)) : "n/a"});
    RecordRow({31, "CleanControlChars into a string used again, 64 MiB listing", "memcpy into memory already written",
               FormatRatio(warmRatio) + " (" + FormatSeconds(intoWrittenMemory.SubjectMedian()) + " vs " +
                   FormatSeconds(intoWrittenMemory.ReferenceMedian()) + ", CPU)",
               "<= 2x", Verdict(warmRatio <= 2.0), ""});
}
BENCHMARK(CleanControlCharsAgainstMemcpy)->Iterations(41)->Unit(benchmark::kMillisecond);

const bool cleanPeak = RegisterPeakCase("clean", [](PeakProbe& probe, const std::string&) {
    const std::string listing = MakeListing(64 * MiB);
    probe.Start();
    const std::string cleaned = CleanControlChars(listing);
    benchmark::DoNotOptimize(cleaned.data());
    return probe.Stop();
});

}  // namespace

}  // namespace tamberlo::bench
