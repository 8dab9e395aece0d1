#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamberlo::bench {

// The median of the values (the mean of the middle two for an even count);
// 0 for none.
double Median(std::vector<double> values);

// The median over the rounds of subject / reference. A round in which either
// side took no measurable time has no ratio: it is left out, counted in
// LeftOutRounds() and reported at the end of the program (so a row built on
// too few rounds shows), instead of entering the median as 0.
double MedianOfRatios(const std::vector<double>& subject, const std::vector<double>& reference);
std::size_t LeftOutRounds();

// The calling thread's processor time so far (user and system: page faults
// and system calls included), in seconds.
double ThreadCpuSeconds();

// Two clocks. Work done in this process is compared in the thread's
// processor time: on two cores shared with other builds the wall clock also
// counts the time the thread waits for a core, and work in user space is
// preempted where a system call is not. Runs, whose cost is mostly another
// process's, are compared in wall time.
enum class Clock { ThreadCpu, Wall };

struct Timing {
    double cpu = 0;
    double wall = 0;

    double Of(Clock clock) const noexcept { return clock == Clock::Wall ? wall : cpu; }
};

// Both clocks over one call of `operation`.
template <typename Operation>
Timing TimeOf(Operation&& operation) {
    const double cpuStart = ThreadCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    std::forward<Operation>(operation)();
    Timing timing;
    timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    timing.cpu = ThreadCpuSeconds() - cpuStart;
    return timing;
}

// Times two operations side by side: every round runs each once, the order
// alternating from round to round, so that a change in the machine's load
// hits both alike. The figures are medians over the rounds; the ratio is the
// median of the rounds' own ratios.
class SideBySide {
public:
    template <typename Subject, typename Reference>
    void Round(Subject&& subject, Reference&& reference) {
        Timing subjectTiming;
        Timing referenceTiming;
        if (subject_.size() % 2 == 0) {
            subjectTiming = TimeOf(subject);
            referenceTiming = TimeOf(reference);
        } else {
            referenceTiming = TimeOf(reference);
            subjectTiming = TimeOf(subject);
        }
        Add(subjectTiming, referenceTiming);
    }

    void Add(Timing subject, Timing reference);

    std::size_t Rounds() const noexcept { return subject_.size(); }
    double SubjectMedian(Clock clock = Clock::ThreadCpu) const;
    double ReferenceMedian(Clock clock = Clock::ThreadCpu) const;
    double RatioMedian(Clock clock = Clock::ThreadCpu) const;

private:
    std::vector<Timing> subject_;
    std::vector<Timing> reference_;
};

// A row's figure of processor time: "<ratio> (<subject> vs <reference>, CPU<more>)",
// the medians of `rounds`.
std::string CpuFigure(const SideBySide& rounds, std::string_view more = {});

// The same for several operations: each round runs every one once, starting
// with a different one each round. Each operation returns its own timing, so
// that it can leave its setup out.
class Rotation {
public:
    explicit Rotation(std::size_t ways) : timings_(ways) {}

    void Round(const std::vector<std::function<Timing()>>& operations);

    std::size_t Rounds() const noexcept { return timings_.front().size(); }
    const std::vector<Timing>& TimingsOf(std::size_t way) const { return timings_[way]; }
    double MedianOf(std::size_t way, Clock clock) const;
    // The median over the rounds of way's time divided by against's.
    double RatioMedian(std::size_t way, std::size_t against, Clock clock) const;

private:
    std::vector<std::vector<Timing>> timings_;
};

}  // namespace tamberlo::bench
