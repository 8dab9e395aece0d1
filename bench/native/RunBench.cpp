// Runs through Execute against starting SAS directly, and how a run grows
// with the number of put files its program refers to.
#include "BenchSas.h"
#include "engine/Engine.h"
#include "engine/PutFiles.h"
#include "engine/SASContract.h"
#include "host/CommandLine.h"
#include "host/ExecCmd.h"
#include "host/RunFolder.h"
#include "support/Rows.h"
#include "support/Scratch.h"
#include "support/SideBySide.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tamberlo::bench {

namespace {

constexpr const char* OneLineProgram = "data _null_; put 'hello'; run;";

// True when the file opens for reading (and is closed again).
bool OpensForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The file's content, or nothing when it is not there.
std::optional<std::string> ReadIfThere(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    ::fstat(fd, &info);
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    const ssize_t got = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

// A run as any program honouring the batch contract makes it, with plain
// system calls: check sas and its configuration file, write a new program
// file, start SAS with its console output going to a file (where SAS for
// UNIX reports what comes before its log) and wait, read back the log, the
// listing and the console, delete the four files. What Execute adds beyond
// this is the component's own code.
void PlainContractRun(const std::string& folder, const std::string& programText, int number) {
    // Names nobody can guess and files made exclusively, as any run in a
    // shared temporary folder must: one draw from the system's random source
    // names the run's files.
    std::uint64_t digits = 0;
    if (::getrandom(&digits, sizeof digits, 0) != static_cast<ssize_t>(sizeof digits)) std::exit(2);
    const std::string base = folder + "/plain" + std::to_string(number) + "_" + std::to_string(digits);
    const std::string program = base + ".sas";
    const std::string log = base + ".log";
    const std::string listing = base + ".lst";
    const std::string console = base + ".txt";
    const std::string executable = RunSasRoot() + sas::ExecutableName;
    const std::string config = RunSasRoot() + sas::DefaultConfigFileName;
    if (!OpensForReading(executable) || !OpensForReading(config)) std::exit(2);
    const int fd = ::open(program.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, programText.data(), programText.size()) != static_cast<ssize_t>(programText.size())) {
        std::exit(2);
    }
    ::close(fd);
    std::vector<std::string> args =
        SplitCommandLine(Engine::BuildCommandLine(executable, config, program, listing, log));
    StartAndWait(args, sas::CapturesConsole ? console : std::string());
    const std::optional<std::string> consoleText = ReadIfThere(console);
    const std::optional<std::string> logText = ReadIfThere(log);
    const std::optional<std::string> listingText = ReadIfThere(listing);
    benchmark::DoNotOptimize(consoleText);
    benchmark::DoNotOptimize(logText);
    benchmark::DoNotOptimize(listingText);
    ::unlink(program.c_str());
    ::unlink(log.c_str());
    ::unlink(listing.c_str());
    if (sas::CapturesConsole) ::unlink(console.c_str());
}

// The direct start's work done as Execute does it around SAS: the files in a
// run folder of their own (made 0700, handed to the guard, removed with
// what is in it) and SAS started under the process guard (ExecCmd). Against
// the direct start, what the guard and the private folder cost a run.
void GuardedStart(const std::string& programText) {
    const RunFolder folder;
    const std::string base = folder.Path() + "guarded";
    const int fd = ::open((base + ".sas").c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, programText.data(), programText.size()) != static_cast<ssize_t>(programText.size())) {
        std::exit(2);
    }
    ::close(fd);
    ExecCmd::Options options;
    if (sas::CapturesConsole) options.consoleFile = base + ".txt";
    const std::string cmdline =
        Engine::BuildCommandLine(RunSasRoot() + sas::ExecutableName, RunSasRoot() + sas::DefaultConfigFileName,
                                 base + ".sas", base + ".lst", base + ".log");
    if (ExecCmd().Run(cmdline, options).outcome != ExecCmd::Outcome::Ended) std::exit(2);
}

// Argument 0: the run's files (and the direct start's) in the scratch
// folder on disk; 1: in a folder in memory. Creating and deleting files on
// this disk's file system costs more after many deletions, which makes the
// first figure depend on what ran before; the second leaves the disk out.
void ExecuteAgainstDirectStart(benchmark::State& state) {
    const bool inMemory = state.range(0) == 1;
    if (inMemory && MemoryScratchFolder().empty()) {
        state.SkipWithError("no tmpfs at /dev/shm");
        return;
    }
    const std::string folder = inMemory ? MemoryScratchFolder() : ScratchFolder();
    const ScopedEnvironment temporaryFolder("TMPDIR", folder);

    CodeRunner runner;
    runner.SetSASCode(OneLineProgram);
    ExecuteOrAbort(runner, RunSasRoot());
    if (runner.Log().empty()) {
        state.SkipWithError("SAS wrote no log");
        return;
    }

    // The same program file as Execute writes (preamble, then the program),
    // the same command line, and the same work around the start, timed.
    const std::string programText = std::string(sas::FormCharStatement) + sas::CrLf + runner.SASCode();
    DirectStart directStart(folder + "/direct", programText);

    enum Way : std::size_t { Execute, Direct, Plain, StartAlone, Guarded };
    Rotation rounds(5);
    int plainRuns = 0;
    for (auto _ : state) {
        rounds.Round({
            [&] { return TimeOf([&] { ExecuteOrAbort(runner, RunSasRoot()); }); },
            [&] { return TimeOf([&] { directStart.Run(); }); },
            [&] { return TimeOf([&] { PlainContractRun(folder, programText, ++plainRuns); }); },
            [&] { return directStart.TimeStartAlone(); },
            [&] { return TimeOf([&] { GuardedStart(programText); }); },
        });
    }
    const double ratio = rounds.RatioMedian(Execute, Direct, Clock::Wall);
    const double plainRatio = rounds.RatioMedian(Execute, Plain, Clock::Wall);
    const double execute = rounds.MedianOf(Execute, Clock::Wall);
    const double direct = rounds.MedianOf(Direct, Clock::Wall);
    const double plain = rounds.MedianOf(Plain, Clock::Wall);
    const double guarded = rounds.MedianOf(Guarded, Clock::Wall);
    const double guardRatio = rounds.RatioMedian(Guarded, Direct, Clock::Wall);
    // This thread's processor time in a run, beyond that of starting SAS and
    // waiting alone (the files made and deleted outside that timing): what
    // the component itself costs, whatever the load; against the same for
    // the plain run, round by round. A round in which the plain run came out
    // no dearer than the start alone (noise on a loaded machine) has no
    // ratio and is left out, and the row says how often.
    std::vector<double> ownCpuRounds;
    std::vector<double> plainCpuRounds;
    std::size_t noisyRounds = 0;
    for (std::size_t round = 0; round < rounds.Rounds(); ++round) {
        const double startAlone = rounds.TimingsOf(StartAlone)[round].cpu;
        const double plainExtra = rounds.TimingsOf(Plain)[round].cpu - startAlone;
        if (plainExtra <= 0) {
            ++noisyRounds;
            continue;
        }
        ownCpuRounds.push_back(rounds.TimingsOf(Execute)[round].cpu - startAlone);
        plainCpuRounds.push_back(plainExtra);
    }
    const double ownCpu = Median(ownCpuRounds);
    const double plainCpu = Median(plainCpuRounds);
    const double cpuRatio = MedianOfRatios(ownCpuRounds, plainCpuRounds);
    state.counters["execute_ms"] = execute * 1e3;
    state.counters["direct_ms"] = direct * 1e3;
    state.counters["plain_contract_ms"] = plain * 1e3;
    state.counters["ratio"] = ratio;
    state.counters["ratio_to_plain"] = plainRatio;
    state.counters["own_cpu_us"] = ownCpu * 1e6;
    state.counters["plain_cpu_us"] = plainCpu * 1e6;
    state.counters["cpu_ratio_to_plain"] = cpuRatio;
    state.counters["guarded_ms"] = guarded * 1e3;
    state.counters["guarded_ratio"] = guardRatio;
    RecordRow({inMemory ? 61 : 60,
               std::string("Execute of a one-line program against ") + RunSasName() +
                   (inMemory ? ", native, run files in memory (tmpfs)" : ", native, run files on disk"),
               "starting it directly with the same arguments and files: write the program, start, wait, delete",
               FormatRatio(ratio) + " (" + FormatSeconds(execute) + " vs " + FormatSeconds(direct) + ", wall: +" +
                   FormatSeconds(execute - direct) + "; the same run by plain system calls +" +
                   FormatSeconds(plain - direct) + ", Execute / that run " + FormatRatio(plainRatio) + ")",
               "<= 1.05x wall time", Verdict(ratio <= 1.05), ""});
    RecordRow({inMemory ? 63 : 62,
               std::string("Execute's own processor time beyond starting SAS, one-line program, ") +
                   (inMemory ? "run files in memory (tmpfs)" : "run files on disk"),
               "the same run made with plain system calls (check, write, start, wait, read back, delete)",
               FormatRatio(cpuRatio) + " (" + FormatSeconds(ownCpu) + " vs " + FormatSeconds(plainCpu) +
                   ", this thread's CPU beyond starting SAS alone" +
                   (noisyRounds ? "; " + std::to_string(noisyRounds) + " noisy rounds left out" : std::string()) + ")",
               "<= 1.2x", Verdict(cpuRatio <= 1.2), ""});
    RecordRow({inMemory ? 65 : 64,
               std::string("The guard and the run's own folder: the direct start made through them, ") +
                   (inMemory ? "run files in memory (tmpfs)" : "run files on disk"),
               "the direct start (same files, same command line, started by this process)",
               FormatRatio(guardRatio) + " (" + FormatSeconds(guarded) + " vs " + FormatSeconds(direct) + ", wall: +" +
                   FormatSeconds(guarded - direct) + ")",
               "info", "info", ""});
}
BENCHMARK(ExecuteAgainstDirectStart)->Arg(0)->Arg(1)->Iterations(301)->Unit(benchmark::kMillisecond);

// One run of the program and the release of its put files (their files
// are deleted then); making the runner is not timed.
Timing TimeOfRunWithPutFiles(const std::string& program) {
    std::optional<CodeRunner> runner(std::in_place);
    runner->SetSASCode(program);
    return TimeOf([&] {
        ExecuteOrAbort(*runner, RunSasRoot());
        runner->Reset();
    });
}

void ExecuteGrowthWithPutFiles(benchmark::State& state) {
    const bool inMemory = state.range(0) == 1;
    if (inMemory && MemoryScratchFolder().empty()) {
        state.SkipWithError("no tmpfs at /dev/shm");
        return;
    }
    const std::optional<ScopedEnvironment> memoryTemp =
        inMemory ? std::make_optional<ScopedEnvironment>("TMPDIR", MemoryScratchFolder()) : std::nullopt;
    constexpr std::array<int, 4> Counts = {0, 500, 1000, 2000};
    std::array<std::string, Counts.size()> programs;
    for (std::size_t i = 0; i < Counts.size(); ++i) programs[i] = ProgramReferringToPutFiles(Counts[i]);

    // Two more ways without SAS: the engine making 2,000 put files with their
    // statements and then releasing them, and the same number of empty files
    // made and deleted with plain system calls, in the same folder.
    const std::string temporaryFolder = inMemory ? MemoryScratchFolder() : ScratchFolder();
    Rotation rounds(Counts.size() + 2);
    for (auto _ : state) {
        rounds.Round({
            [&] { return TimeOfRunWithPutFiles(programs[0]); },
            [&] { return TimeOfRunWithPutFiles(programs[1]); },
            [&] { return TimeOfRunWithPutFiles(programs[2]); },
            [&] { return TimeOfRunWithPutFiles(programs[3]); },
            [] {
                return TimeOf([] {
                    std::optional<PutFiles> putFiles(std::in_place);
                    std::string preamble;
                    for (int n = 1; n <= 2000; ++n) preamble += putFiles->AddPutFile(static_cast<std::int16_t>(n));
                    benchmark::DoNotOptimize(preamble.data());
                    putFiles.reset();
                });
            },
            [&] {
                return TimeOf([&] {
                    for (int n = 1; n <= 2000; ++n) {
                        const std::string path = temporaryFolder + "/plain_" + std::to_string(n) + ".put";
                        ::close(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
                    }
                    for (int n = 1; n <= 2000; ++n) {
                        ::unlink((temporaryFolder + "/plain_" + std::to_string(n) + ".put").c_str());
                    }
                });
            },
        });
    }
    std::array<double, Counts.size()> medians{};
    for (std::size_t i = 0; i < Counts.size(); ++i) medians[i] = rounds.MedianOf(i, Clock::Wall);
    const double perFile = (medians[3] - medians[0]) / 2000;
    const double firstThousand = (medians[2] - medians[0]) / 1000;
    const double secondThousand = (medians[3] - medians[2]) / 1000;
    // Linear: in each round the second thousand put files cost what the
    // first did. Quadratic growth would make them cost three times as much;
    // 1.5 leaves room for the noise of a shared machine.
    std::vector<double> thousandRatios;
    for (std::size_t round = 0; round < rounds.Rounds(); ++round) {
        const double none = rounds.TimingsOf(0)[round].wall;
        const double thousand = rounds.TimingsOf(2)[round].wall;
        const double twoThousand = rounds.TimingsOf(3)[round].wall;
        if (thousand > none) thousandRatios.push_back((twoThousand - thousand) / (thousand - none));
    }
    const double growth = Median(thousandRatios);
    const double engineShare = rounds.MedianOf(Counts.size(), Clock::Wall) / 2000;
    const double plainFiles = rounds.MedianOf(Counts.size() + 1, Clock::Wall) / 2000;
    for (std::size_t i = 0; i < Counts.size(); ++i) {
        state.counters["run_" + std::to_string(Counts[i]) + "_ms"] = medians[i] * 1e3;
    }
    state.counters["us_per_put_file"] = perFile * 1e6;
    state.counters["engine_us_per_put_file"] = engineShare * 1e6;
    state.counters["plain_file_us"] = plainFiles * 1e6;
    state.counters["second_to_first_thousand"] = growth;
    const bool linear = growth <= 1.5;
    char measured[400];
    std::snprintf(
        measured, sizeof measured,
        "%.1f us per put file, wall (1st thousand %.1f, 2nd %.1f: %.2fx; runs %s / %s / %s / %s at 0/500/1000/2000; "
        "the engine making and deleting them alone %.1f us; plain open+close+unlink of as many files %.1f us)",
        perFile * 1e6, firstThousand * 1e6, secondThousand * 1e6, growth, FormatSeconds(medians[0]).c_str(),
        FormatSeconds(medians[1]).c_str(), FormatSeconds(medians[2]).c_str(), FormatSeconds(medians[3]).c_str(),
        engineShare * 1e6, plainFiles * 1e6);
    RecordRow({inMemory ? 71 : 70,
               std::string("Execute referring to _PUT1 ... _PUT2000, against ") + RunSasName() +
                   (inMemory ? ", temporary files in memory (tmpfs)" : ", temporary files on disk"),
               "a run without put files", measured, "grows linearly (2nd thousand <= 1.5x 1st); us per put file",
               Verdict(linear), ""});
}
BENCHMARK(ExecuteGrowthWithPutFiles)->Arg(0)->Arg(1)->Iterations(21)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace tamberlo::bench
