#pragma once

#include <chrono>

namespace tamberlo::standin {

// Real and processor time since construction, for the log's timing notes.
class Stopwatch {
public:
    Stopwatch();

    double RealSeconds() const;
    double CpuSeconds() const;

private:
    std::chrono::steady_clock::time_point realStart_;
    double cpuStart_;
};

}  // namespace tamberlo::standin
