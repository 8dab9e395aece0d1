#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace tamberlo::bench {

// Brackets the part of a case whose memory counts: Start after the setup,
// Stop after the work. The figure is the process's peak resident size
// between the two, less its resident size at Start.
class PeakProbe {
public:
    void Start();
    std::size_t Stop();

private:
    long startKiB_ = 0;
};

// A case that runs in a process of its own, so that no other benchmark's
// memory (or the heap it left behind) is counted. `argument` is what the
// caller of MeasurePeak passed; the result is what probe.Stop() returned.
using PeakCase = std::function<std::size_t(PeakProbe& probe, const std::string& argument)>;

// Registers a case at start-up: `static const bool registered = RegisterPeakCase(...)`.
bool RegisterPeakCase(const std::string& name, PeakCase run);

// Starts this program again to run the named case and returns the bytes the
// case added at its peak, or nothing when the child failed.
std::optional<std::size_t> MeasurePeak(const std::string& name, const std::string& argument = {});

// In the child: runs the case named by a "--peak-case=<name>[:<argument>]"
// argument and prints its figure. False when there is no such argument.
bool RunPeakCaseFromArguments(int argc, char** argv, int& exitCode);

}  // namespace tamberlo::bench
