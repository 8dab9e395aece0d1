#include "support/SideBySide.h"

#include "support/Rows.h"

#include <algorithm>
#include <ctime>

namespace tamberlo::bench {

namespace {

std::vector<double> ValuesOf(const std::vector<Timing>& timings, Clock clock);

double MedianOver(const std::vector<Timing>& timings, Clock clock) { return Median(ValuesOf(timings, clock)); }

std::vector<double> ValuesOf(const std::vector<Timing>& timings, Clock clock) {
    std::vector<double> values;
    for (const Timing& timing : timings) values.push_back(timing.Of(clock));
    return values;
}

double RatioMedianOver(const std::vector<Timing>& subject, const std::vector<Timing>& reference, Clock clock) {
    return MedianOfRatios(ValuesOf(subject, clock), ValuesOf(reference, clock));
}

std::size_t leftOutRounds = 0;

}  // namespace

double MedianOfRatios(const std::vector<double>& subject, const std::vector<double>& reference) {
    std::vector<double> ratios;
    for (std::size_t round = 0; round < subject.size() && round < reference.size(); ++round) {
        if (subject[round] > 0 && reference[round] > 0) {
            ratios.push_back(subject[round] / reference[round]);
        } else {
            ++leftOutRounds;
        }
    }
    return Median(ratios);
}

std::size_t LeftOutRounds() { return leftOutRounds; }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle), values.end());
    if (values.size() % 2 != 0) return values[middle];
    const double upper = values[middle];
    const double lower = *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle));
    return (lower + upper) / 2;
}

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void SideBySide::Add(Timing subject, Timing reference) {
    subject_.push_back(subject);
    reference_.push_back(reference);
}

double SideBySide::SubjectMedian(Clock clock) const { return MedianOver(subject_, clock); }
double SideBySide::ReferenceMedian(Clock clock) const { return MedianOver(reference_, clock); }
double SideBySide::RatioMedian(Clock clock) const { return RatioMedianOver(subject_, reference_, clock); }

std::string CpuFigure(const SideBySide& rounds, std::string_view more) {
    return FormatRatio(rounds.RatioMedian()) + " (" + FormatSeconds(rounds.SubjectMedian()) + " vs " +
           FormatSeconds(rounds.ReferenceMedian()) + ", CPU" + std::string(more) + ")";
}

void Rotation::Round(const std::vector<std::function<Timing()>>& operations) {
    const std::size_t ways = timings_.size();
    const std::size_t first = Rounds() % ways;
    for (std::size_t step = 0; step < ways; ++step) {
        const std::size_t way = (first + step) % ways;
        timings_[way].push_back(operations[way]());
    }
}

double Rotation::MedianOf(std::size_t way, Clock clock) const { return MedianOver(timings_[way], clock); }

double Rotation::RatioMedian(std::size_t way, std::size_t against, Clock clock) const {
    return RatioMedianOver(timings_[way], timings_[against], clock);
}

}  // namespace tamberlo::bench
