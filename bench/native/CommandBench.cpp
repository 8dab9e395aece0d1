// The tamberlo command as a whole against starting SAS directly; how soon a
// stop request ends a run; and `tamberlo batch -j 2` against one program
// after another.
#include "BenchSas.h"
#include "engine/Engine.h"
#include "engine/SASContract.h"
#include "host/CommandLine.h"
#include "host/StopSignal.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tamberlo::bench {

namespace {

constexpr const char* OneLineProgram = "data _null_; put 'hello'; run;";

// Starts the program with these arguments, its output and errors thrown
// away, and waits for it: the exit code, or -1 when it could not start.
int RunQuietly(std::vector<std::string> args, std::string* output = nullptr) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string outputPath = ScratchPath("command-output.txt");
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 1, output ? outputPath.c_str() : "/dev/null",
                                       O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t child = 0;
    const int failure = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;  // ECHILD: nothing left to wait for
    }
    if (output) {
        std::ifstream in(outputPath, std::ios::binary);
        *output = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// True when this build's command has the batch subcommand (it prints its
// own usage for `batch --help`).
bool CommandHasBatch() {
    std::string usage;
    RunQuietly({TAMBERLO_BENCH_COMMAND, "batch", "--help"}, &usage);
    return usage.find("tamberlo batch") != std::string::npos;
}

void CommandAgainstDirectStart(benchmark::State& state) {
    // The direct start does what the command does around SAS: writes the
    // same program file, sends the console to a file, deletes what it made.
    DirectStart direct(ScratchPath("command-direct"),
                       std::string(sas::FormCharStatement) + sas::CrLf + OneLineProgram + sas::CrLf);
    const std::vector<std::string> command = {TAMBERLO_BENCH_COMMAND, "--sas-root", RunSasRoot(), "-e", OneLineProgram};
    if (RunQuietly(command) != 0) {
        state.SkipWithError("the command failed");
        return;
    }
    // The command is a process of its own that starts SAS as a second one:
    // what it costs of its own is the command less the direct start, and the
    // least that can be is what a C++ program doing nothing costs, started
    // and waited for alike.
    const std::vector<std::string> nothing = {TAMBERLO_BENCH_DO_NOTHING};
    enum Way : std::size_t { Command, Direct, Nothing };
    Rotation rounds(3);
    const auto timed = [](auto&& work) { return [work] { return TimeOf(work); }; };
    for (auto _ : state) {
        rounds.Round({
            timed([&] { RunQuietly(command); }),
            timed([&] { direct.Run(); }),
            timed([&] { RunQuietly(nothing); }),
        });
    }
    const double ratio = rounds.RatioMedian(Command, Direct, Clock::Wall);
    const double commandTime = rounds.MedianOf(Command, Clock::Wall);
    const double directTime = rounds.MedianOf(Direct, Clock::Wall);
    const double nothingTime = rounds.MedianOf(Nothing, Clock::Wall);
    // Round by round: the command's own cost against the empty program's (a
    // round where either took no measurable time is left out).
    std::vector<double> ownCost;
    for (std::size_t round = 0; round < rounds.Rounds(); ++round)
        ownCost.push_back(rounds.TimingsOf(Command)[round].wall - rounds.TimingsOf(Direct)[round].wall);
    std::vector<double> nothingCost;
    for (const Timing& timing : rounds.TimingsOf(Nothing)) nothingCost.push_back(timing.wall);
    const double ownRatio = MedianOfRatios(ownCost, nothingCost);
    state.counters["command_ms"] = commandTime * 1e3;
    state.counters["direct_ms"] = directTime * 1e3;
    state.counters["empty_process_ms"] = nothingTime * 1e3;
    state.counters["ratio"] = ratio;
    state.counters["own_cost_ratio"] = ownRatio;
    RecordRow({100,
               std::string("The tamberlo command's own cost on a one-line program (-e): the command less ") +
                   RunSasName() + " started directly (writing, starting, waiting, deleting as the command does)",
               "a C++ program that does nothing, started and waited for alike",
               FormatRatio(ownRatio) + " (own cost " + FormatSeconds(Median(ownCost)) + " vs " +
                   FormatSeconds(nothingTime) + ", wall; the command " + FormatSeconds(commandTime) +
                   " vs the direct start " + FormatSeconds(directTime) + ", " + FormatRatio(ratio) + ")",
               "<= 1.5x wall time", Verdict(ownRatio <= 1.5), ""});
}
BENCHMARK(CommandAgainstDirectStart)->Iterations(61)->Unit(benchmark::kMillisecond);

// How a stop is requested of a run: the waitable request, as the command's
// Ctrl-C handler makes it.
class StopRequest {
public:
    void Attach(RunControl& control) { control.stop = &signal_; }
    void Request() { signal_.Request(); }

private:
    StopSignal signal_;
};

// From the moment a stop is requested, SAS sleeping, to the moment Execute
// has thrown RunStopped (SAS ended, the run's files deleted).
void StopRequestToExecuteThrown(benchmark::State& state) {
    std::vector<double> latencies;
    for (auto _ : state) {
        CodeRunner runner;
        runner.SetSASCode("data _null_; call sleep(30, 1); run;");
        StopRequest stop;
        RunControl control;
        stop.Attach(control);
        std::atomic<bool> started{false};
        control.whileRunning = [&](const std::string&) { started = true; };
        std::chrono::steady_clock::time_point requestedAt;
        std::thread requester([&] {
            // Once SAS is running (the progress callback has been called),
            // and a little more, so that SAS is well into its sleep.
            while (!started) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(37));
            requestedAt = std::chrono::steady_clock::now();
            stop.Request();
        });
        bool stopped = false;
        try {
            runner.Execute(RunSasRoot(), "", control);
        } catch (const RunStopped&) {
            stopped = true;
        }
        const auto thrownAt = std::chrono::steady_clock::now();
        requester.join();
        if (!stopped) {
            state.SkipWithError("the run was not stopped");
            return;
        }
        latencies.push_back(std::chrono::duration<double>(thrownAt - requestedAt).count());
    }
    const double latency = Median(latencies);
    state.counters["latency_ms"] = latency * 1e3;
    RecordRow({101, std::string("Stop request to Execute having thrown, ") + RunSasName() + " sleeping",
               "(a time: from the request to RunStopped caught)",
               FormatSeconds(latency) + " (median; range " +
                   FormatSeconds(*std::min_element(latencies.begin(), latencies.end())) + " to " +
                   FormatSeconds(*std::max_element(latencies.begin(), latencies.end())) + ")",
               "<= 20 ms", Verdict(latency <= 0.020), ""});
}
BENCHMARK(StopRequestToExecuteThrown)->Iterations(21)->Unit(benchmark::kMillisecond);

// `tamberlo batch -j 2` over 40 one-line programs against `-j 1` over the
// same: the same work, one program after another.
void BatchTwoJobsAgainstOne(benchmark::State& state) {
    if (!CommandHasBatch()) {
        std::fprintf(stderr, "bench: this tamberlo has no batch command: the batch row is skipped\n");
        RecordRow({102, "tamberlo batch -j 2 over 40 one-line programs", "the same with -j 1",
                   "skipped: this build's tamberlo has no batch command", ">= 1.7x faster", "skipped", ""});
        state.SkipWithError("no batch command");
        return;
    }
    const std::string folder = ScratchPath("batch-programs");
    ::mkdir(folder.c_str(), 0777);
    for (int n = 1; n <= 40; ++n) {
        WriteFile(folder + "/program" + std::to_string(n) + ".sas", std::string(OneLineProgram) + sas::CrLf);
    }
    const auto batch = [&](const char* jobs) {
        return std::vector<std::string>{TAMBERLO_BENCH_COMMAND, "batch",      "-j",  jobs,
                                        "--sas-root",           RunSasRoot(), folder};
    };
    if (RunQuietly(batch("2")) != 0) {
        state.SkipWithError("tamberlo batch failed");
        return;
    }
    // What the machine itself gives two at a time: the same 40 runs of SAS
    // started directly, by one thread and by two, side by side with the
    // batch in every round.
    const std::string runs = ScratchPath("batch-direct");
    ::mkdir(runs.c_str(), 0777);
    const std::string programText = std::string(sas::FormCharStatement) + sas::CrLf + OneLineProgram + sas::CrLf;
    std::vector<std::vector<std::string>> directRuns;
    for (int n = 1; n <= 40; ++n) {
        const std::string base = runs + "/program" + std::to_string(n);
        WriteFile(base + ".sas", programText);
        directRuns.push_back(SplitCommandLine(Engine::BuildCommandLine(RunSasRoot() + sas::ExecutableName,
                                                                       RunSasRoot() + sas::DefaultConfigFileName,
                                                                       base + ".sas", base + ".lst", base + ".log")));
    }
    const auto direct = [&](int threads) {
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&] {
                for (std::size_t n; (n = next++) < directRuns.size();) RunQuietly(directRuns[n]);
            });
        }
        for (std::thread& worker : workers) worker.join();
    };
    enum Way : std::size_t { OneJob, TwoJobs, DirectOne, DirectTwo };
    Rotation rounds(4);
    const auto timed = [](auto&& work) { return [work] { return TimeOf(work); }; };
    for (auto _ : state) {
        rounds.Round({
            timed([&] { RunQuietly(batch("1")); }),
            timed([&] { RunQuietly(batch("2")); }),
            timed([&] { direct(1); }),
            timed([&] { direct(2); }),
        });
    }
    const double speedUp = rounds.RatioMedian(OneJob, TwoJobs, Clock::Wall);
    const double machineSpeedUp = rounds.RatioMedian(DirectOne, DirectTwo, Clock::Wall);
    state.counters["one_job_ms"] = rounds.MedianOf(OneJob, Clock::Wall) * 1e3;
    state.counters["two_jobs_ms"] = rounds.MedianOf(TwoJobs, Clock::Wall) * 1e3;
    state.counters["speed_up"] = speedUp;
    state.counters["direct_speed_up"] = machineSpeedUp;
    RecordRow({102, "tamberlo batch -j 2 over 40 one-line programs", "the same with -j 1, whole processes",
               FormatRatio(speedUp) + " faster (" + FormatSeconds(rounds.MedianOf(TwoJobs, Clock::Wall)) + " vs " +
                   FormatSeconds(rounds.MedianOf(OneJob, Clock::Wall)) + ", wall; 2 cores; the same 40 runs of " +
                   RunSasName() + " started directly, two at a time against one after another: " +
                   FormatRatio(machineSpeedUp) + " faster)",
               ">= 1.7x faster", Verdict(speedUp >= 1.7), ""});
}
BENCHMARK(BatchTwoJobsAgainstOne)->Iterations(21)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace tamberlo::bench
