#include "cli/batch/RunListAndReport.h"

#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/reports/GitHubAnnotations.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/UsageError.h"
#include "cli/batch/BatchProgress.h"
#include "cli/batch/OutcomeStore.h"
#include "host/StopSignal.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tamberlo::cli {
namespace {

// What a program that an interrupt kept from finishing is reported as.
ProgramOutcome NotRun(const BatchProgram& program) {
    ProgramOutcome notRun;
    notRun.program = program;
    notRun.verdict = ProgramOutcome::Verdict::NotRun;
    notRun.problem = "not run: the batch was interrupted";
    return notRun;
}

// The outcomes of the programs that finished, in list order.
OutcomeSequence Finished(const BatchProgramList& programs, const OutcomeStore& store) {
    if (store.Count() == programs.size()) {
        return {programs.size(), [&store](std::size_t index) { return store.Get(index); }};
    }
    // Interrupted: where each finished one is in the list.
    auto places = std::make_shared<std::vector<std::size_t>>();
    for (std::size_t index = 0; index < programs.size(); ++index) {
        if (store.Has(index)) places->push_back(index);
    }
    return {places->size(), [&store, places](std::size_t nth) { return store.Get((*places)[nth]); }};
}

// The annotations of every outcome, then the step summary.
bool Annotate(const OutcomeSequence& outcomes, const std::string& title) {
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

int RunListAndReport(const BatchOptions& options, const BatchProgramList& programs, const ProgramWorkerPool::Step& run,
                     BatchSummary summary, ReportSet& reports) {
    summary.timestamp = UtcTimestamp();
    summary.hostName = console::HostName();
    summary.programs = programs.size();

    BatchProgress progress(stdout, console::IsTerminal(stdout), programs.size());
    // Ctrl-C requests this stop: it wakes every running program at once,
    // and no further one starts.
    const StopSignal& stop = console::Interrupts();
    // A finished program's kept findings and its outcome wait on disk, as
    // its log does, so that memory does not grow with the programs.
    const auto records = std::make_shared<ScratchRecords>();
    const auto findings = std::make_shared<FindingStore>(records);
    const ProgramWorkerPool::Step runAndStore = [&run, &findings](const BatchProgram& program) {
        std::optional<ProgramOutcome> outcome = run(program);
        if (outcome) outcome->StoreFindings(findings);
        return outcome;
    };
    OutcomeStore outcomes(records, findings, programs);
    ExitStatus status = ExitStatus::Ok;
    const ProgramWorkerPool runner(options.jobs, runAndStore, [&stop] { return stop.IsRequested(); });
    runner.Run(programs, progress, [&](std::size_t index, ProgramOutcome&& outcome) {
        status = std::max(status, StatusOf(outcome.verdict));
        outcomes.Put(index, std::move(outcome));
    });
    const bool interrupted = console::InterruptRequested();

    summary.seconds = progress.ElapsedSeconds();
    summary.interrupted = interrupted;
    if (interrupted) status = ExitStatus::Interrupted;
    summary.exitStatus = ToInt(status);
    progress.Finish(Finished(programs, outcomes), interrupted);
    summary.notRun = programs.size() - outcomes.Count();
    // Every program of the list in its order: its outcome, or "not run" for
    // one that an interrupt kept from finishing.
    const OutcomeSequence all(programs.size(), [&programs, &outcomes](std::size_t index) {
        return outcomes.Has(index) ? outcomes.Get(index) : NotRun(programs[index]);
    });

    bool written = true;
    if (GitHubAnnotations::Wanted(options.annotations)) written &= Annotate(all, summary.suiteName);
    written &= reports.Write(summary, all);
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
