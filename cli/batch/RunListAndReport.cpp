#include "cli/batch/RunListAndReport.h"

#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/reports/GitHubAnnotations.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/UsageError.h"
#include "cli/batch/BatchProgress.h"
#include "host/StopSignal.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tamberlo::cli {
namespace {

// Every program of the list in its order: its outcome, or "not run" for one
// that an interrupt kept from finishing. `finished` is in list order.
std::vector<ProgramOutcome> WithUnfinished(const std::vector<BatchProgram>& programs,
                                           std::vector<ProgramOutcome> finished) {
    std::vector<ProgramOutcome> all;
    auto next = finished.begin();
    for (const BatchProgram& program : programs) {
        if (next != finished.end() && next->program.name == program.name) {
            all.push_back(std::move(*next++));
            continue;
        }
        ProgramOutcome& notRun = all.emplace_back();
        notRun.program = program;
        notRun.verdict = ProgramOutcome::Verdict::NotRun;
        notRun.problem = "not run: the batch was interrupted";
    }
    return all;
}

// The annotations of every outcome, then the step summary.
bool Annotate(const std::vector<ProgramOutcome>& outcomes, const std::string& title) {
    GitHubAnnotations annotations(stdout);
    for (const ProgramOutcome& outcome : outcomes) {
        const std::vector<Finding> findings = outcome.KeptFindings();
        annotations.Add({outcome.program.name, outcome.program.path, outcome.verdict, &findings, outcome.encoding,
                         outcome.FirstProblemLineUtf8()});
    }
    return annotations.AppendSummary(title);
}

// The table, the annotations and the summary went to standard output
// whole; otherwise says why on standard error.
bool StandardOutputWritten(const BatchProgress& progress) {
    int error = progress.WriteError();
    if (error == 0 && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) error = errno != 0 ? errno : EIO;
    if (error == 0) return true;
    std::fprintf(stderr, "tamberlo: standard output: cannot write: %s\n", std::strerror(error));
    return false;
}

}  // namespace

int RunListAndReport(const BatchOptions& options, const std::vector<BatchProgram>& programs,
                     const ProgramWorkerPool::Step& run, BatchSummary summary, ReportSet& reports) {
    summary.timestamp = UtcTimestamp();
    summary.hostName = console::HostName();
    summary.programs = programs.size();

    BatchProgress progress(stdout, console::IsTerminal(stdout), programs.size());
    // Ctrl-C requests this stop: it wakes every running program at once,
    // and no further one starts.
    const StopSignal& stop = console::Interrupts();
    // A finished program's kept findings wait on disk, as its log does, so
    // that memory does not grow with programs times findings.
    const auto store = std::make_shared<FindingStore>();
    const ProgramWorkerPool::Step runAndStore = [&run, &store](const BatchProgram& program) {
        std::optional<ProgramOutcome> outcome = run(program);
        if (outcome) outcome->StoreFindings(store);
        return outcome;
    };
    const ProgramWorkerPool runner(options.jobs, runAndStore, [&stop] { return stop.IsRequested(); });
    std::vector<ProgramOutcome> outcomes = runner.Run(programs, progress);
    const bool interrupted = console::InterruptRequested();

    summary.seconds = progress.ElapsedSeconds();
    summary.interrupted = interrupted;
    ExitStatus status = ExitStatus::Ok;
    for (const ProgramOutcome& outcome : outcomes) status = std::max(status, StatusOf(outcome.verdict));
    if (interrupted) status = ExitStatus::Interrupted;
    summary.exitStatus = ToInt(status);
    progress.Finish(outcomes, interrupted);
    summary.notRun = programs.size() - outcomes.size();
    if (summary.notRun > 0) outcomes = WithUnfinished(programs, std::move(outcomes));

    bool written = true;
    if (GitHubAnnotations::Wanted(options.annotations)) written &= Annotate(outcomes, summary.suiteName);
    written &= reports.Write(summary, outcomes);
    // A reader that went away (`| head`) interrupts the batch: that says it.
    if (!interrupted && !StandardOutputWritten(progress)) written = false;
    if (!written) return ToInt(ExitStatus::OutputFailed);
    return ToInt(status);
}

int WithCommandErrors(const std::function<int()>& run) {
    try {
        return run();
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(AllControlCharsAsCodes(error.what())).c_str());
        return ToInt(ExitStatus::Usage);
    } catch (const SystemFailure& error) {
        std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(error.what()).c_str());
        return ToInt(ExitStatus::OutputFailed);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(AllControlCharsAsCodes(error.what())).c_str());
        return ToInt(ExitStatus::TamberloError);
    }
}

}  // namespace tamberlo::cli
