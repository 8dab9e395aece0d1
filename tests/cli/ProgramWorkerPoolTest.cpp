#include "cli/batch/BatchProgress.h"
#include "cli/batch/ProgramWorkerPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

using namespace tamberlo::cli;

// Runs that only record what they were handed and how many ran at once;
// later programs end sooner, so that the list order is not the order of
// ending.
TEST(ProgramWorkerPool, RunsEveryProgramOnceAtMostJobsAtOnceAndHandsOnWhatFinishedWithItsPlace) {
    constexpr int none = -1;
    struct Case {
        const char* name;
        unsigned jobs;
        int programs;
        int stopDuring;  // a stop is requested while this program runs
        int unfinished;  // this program's run reports that it was stopped
        std::vector<std::string> finished;
    };
    for (const Case& c :
         {Case{"one at a time", 1, 3, none, none, {"p0", "p1", "p2"}},
          Case{"two at once", 2, 5, none, none, {"p0", "p1", "p2", "p3", "p4"}},
          Case{"more jobs than programs", 8, 2, none, none, {"p0", "p1"}}, Case{"no program", 4, 0, none, none, {}},
          Case{"a run that did not finish", 2, 4, none, 1, {"p0", "p2", "p3"}},
          Case{"a stop starts nothing more", 1, 5, 1, none, {"p0", "p1"}}}) {
        BatchProgramList programs;
        for (int i = 0; i < c.programs; ++i) programs.Add({"p" + std::to_string(i), "p.sas", {}});
        std::mutex mutex;
        std::size_t running = 0, most = 0, started = 0, onCaller = 0;
        std::atomic<bool> stop{false};
        const auto caller = std::this_thread::get_id();
        const ProgramWorkerPool runner(
            c.jobs,
            [&](const BatchProgram& program) -> std::optional<ProgramOutcome> {
                const int index = std::stoi(program.name.substr(1));
                {
                    std::lock_guard lock(mutex);
                    most = std::max(most, ++running);
                    started += program.name == programs[index].name;  // its own entry
                    onCaller += std::this_thread::get_id() == caller;
                }
                if (index == c.stopDuring) stop = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(5 * (c.programs - index)));
                std::lock_guard lock(mutex);
                --running;
                if (index == c.unfinished) return std::nullopt;
                ProgramOutcome outcome;
                outcome.program = program;
                return outcome;
            },
            [&] { return stop.load(); });
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
        BatchProgress progress(out.get(), false, programs.size());

        // Handed on as they end, on the calling thread, each with its place in the list.
        std::map<std::size_t, std::string> handed;
        runner.Run(programs, progress, [&](std::size_t index, ProgramOutcome&& outcome) {
            EXPECT_EQ(std::this_thread::get_id(), caller) << c.name;
            EXPECT_TRUE(handed.emplace(index, outcome.program.name).second) << c.name;
        });
        std::vector<std::string> returned;
        for (const auto& [index, name] : handed) {
            EXPECT_EQ(name, programs[index].name) << c.name;
            returned.push_back(name);
        }
        EXPECT_EQ(returned, c.finished) << c.name;
        EXPECT_EQ(started, c.finished.size() + (c.unfinished != none)) << c.name;
        EXPECT_LE(most, c.jobs) << c.name;
        EXPECT_EQ(onCaller, 0u) << c.name;
        // The progress shows a line per program that finished.
        std::string shown(4096, '\0');
        std::rewind(out.get());
        shown.resize(std::fread(shown.data(), 1, shown.size(), out.get()));
        EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), std::ssize(c.finished)) << c.name;
    }
}
