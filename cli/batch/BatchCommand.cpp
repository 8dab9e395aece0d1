#include "cli/batch/BatchCommand.h"

#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/BatchProgramRun.h"
#include "cli/batch/BatchProgress.h"
#include "cli/batch/BatchReport.h"
#include "cli/batch/BatchRunner.h"
#include "cli/batch/ReportSet.h"
#include "cli/batch/ScratchFolder.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/OutputNames.h"
#include "cli/UsageError.h"
#include "host/Error.h"
#include "cli/CommandText.h"
#include "host/FileSystem.h"
#include "host/TempFileNames.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace tamberlo::cli {
namespace {

// Gathers what the reports may not be written over: the programs of the
// batch (of any shard) and the outputs under --out. The programs' own
// outputs cannot meet: their names are unique.
void AddBatchNames(const BatchOptions& options, const std::vector<BatchProgram>& programs, OutputNames& names) {
    for (const BatchProgram& program : programs) {
        names.AddInput("the program " + program.path, program.path);
        if (!options.outDir) continue;
        const std::string out = "--out " + *options.outDir + " (";
        const std::string base = *options.outDir + "/" + program.name;
        names.AddOutput(out + "the log of " + program.name + ")", base + ".log");
        names.AddOutput(out + "the listing of " + program.name + ")", base + ".lst");
        names.AddPutFolder(out + "the put files of " + program.name + ")", base);
    }
    if (options.outDir) names.AddOutput("--out " + *options.outDir, *options.outDir);
}

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

void CreateOutputFolder(const std::string& folder) {
    std::error_code ec;
    const std::filesystem::path path = commandtext::ToPath(folder);
    std::filesystem::create_directories(path, ec);
    if (!std::filesystem::is_directory(path)) {
        throw UsageError("--out " + folder + ": cannot create the folder" + (ec ? ": " + ec.message() : std::string()));
    }
}

int Run(const BatchOptions& options) {
    ProgramFiles files;
    files.rules = LogRules(options.ignore, options.failOn, options.strict);
    const std::vector<BatchProgram> listed = CollectPrograms(options.programs, options.recursive);
    const std::vector<BatchProgram> programs = options.shard ? SelectShard(listed, *options.shard) : listed;
    OutputNames names;
    // Every report is refused before anything is created, folders included.
    if (ReportSet::Requested(options, options.jsonFile)) AddBatchNames(options, listed, names);
    ReportSet reports(options, options.jsonFile, options.shard, names);
    if (options.outDir) CreateOutputFolder(*options.outDir);

    // A finished program's log and listing wait on disk for the reports:
    // memory holds its summary only.
    std::optional<ScratchFolder> scratch;
    if (options.outDir) {
        files.folder = options.outDir;
        files.putFiles = true;
        files.listings = true;
    } else if (!reports.Empty()) {
        files.folder = scratch.emplace().Path();
        files.listings = reports.ShowsListings();
    }

    BatchSummary summary;
    summary.suiteName = "tamberlo batch";
    if (options.shard) {
        summary.shard = options.shard->Text();
        summary.suiteName.append(" ").append(summary.shard);
    }
    summary.timestamp = UtcTimestamp();
    summary.hostName = console::HostName();
    summary.programs = programs.size();
    summary.parameters = options.parameters;
    summary.rules = files.rules;
    summary.sourceRoot = options.sourceRoot;
    summary.logsStay = options.outDir.has_value();

    if (!options.shardFrom.empty()) {
        std::fprintf(stdout, "tamberlo: shard %s from %s\n", options.shard->Text().c_str(), options.shardFrom.c_str());
    }
    BatchProgress progress(stdout, console::IsTerminal(stdout), programs.size());
    // Ctrl-C requests this stop: it wakes every running SAS at once, and no
    // further program starts.
    const StopSignal& stop = console::Interrupts();
    const BatchRunner runner(
        options.jobs,
        [&options, &files, &stop](const BatchProgram& program) {
            return RunBatchProgram(program, options, files, stop);
        },
        [&stop] { return stop.IsRequested(); });
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

    const bool written = reports.Write(summary, outcomes);
    if (!written) return ToInt(ExitStatus::OutputFailed);
    return ToInt(status);
}

}  // namespace

int RunBatchCommand(const BatchOptions& options) {
    try {
        return Run(options);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(error.what()).c_str());
        return ToInt(ExitStatus::Usage);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(error.what()).c_str());
        return ToInt(ExitStatus::TamberloError);
    }
}

}  // namespace tamberlo::cli
