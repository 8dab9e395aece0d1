#include "Stopwatch.h"

#include "Platform.h"

namespace tamberlo::standin {

Stopwatch::Stopwatch() : realStart_(std::chrono::steady_clock::now()), cpuStart_(Platform::CpuSeconds()) {}

double Stopwatch::RealSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart_).count();
}

double Stopwatch::CpuSeconds() const {
    const double used = Platform::CpuSeconds() - cpuStart_;
    return used > 0.0 ? used : 0.0;
}

}  // namespace tamberlo::standin
