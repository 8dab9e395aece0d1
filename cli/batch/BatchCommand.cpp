#include "cli/batch/BatchCommand.h"

#include "cli/batch/BatchStep.h"
#include "cli/batch/ParameterMatrix.h"
#include "cli/reports/ReportSet.h"
#include "cli/batch/RunListAndReport.h"
#include "cli/base/ScratchFolder.h"
#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/base/OutputNames.h"
#include "cli/base/TemporaryFolder.h"
#include "cli/base/UsageError.h"
#include "host/Error.h"
#include "cli/base/CommandText.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

namespace tamberlo::cli {
namespace {

// The files of the batch that its reports may not be written over: the
// programs (of every shard), the files every run reads and the outputs
// under --out. The programs' own outputs cannot meet: their names are
// unique. Without --out the programs are gone through again for each
// report instead of gathered: a long list is not held twice.
void AddBatchFiles(const BatchOptions& options, const BatchProgramList& programs, OutputNames& names) {
    if (!options.outDir) {
        names.AddInputs([&programs](const OutputNames::FileVisitor& take) {
            std::string previous;
            for (const BatchProgram& program : programs) {
                // A table's runs of one program follow each other: it is one input.
                if (program.path != previous) take("the program " + program.path, program.path);
                previous = program.path;
            }
        });
    } else {
        std::string previous;
        for (const BatchProgram& program : programs) {
            if (program.path != previous) names.AddInput("the program " + program.path, program.path);
            previous = program.path;
            const std::string out = "--out " + *options.outDir + " (";
            const std::string base = *options.outDir + "/" + program.OutputName();
            names.AddOutput(out + "the log of " + program.name + ")", base + ".log");
            names.AddOutput(out + "the listing of " + program.name + ")", base + ".lst");
            names.AddPutFolder(out + "the put files of " + program.name + ")", base);
        }
    }
    if (options.matrixFile) names.AddInput("--matrix " + *options.matrixFile, *options.matrixFile);
    AddSessionInputs(options, names);
    if (options.outDir) names.AddOutput("--out " + *options.outDir, *options.outDir);
}

// The parameter table of --matrix, its values checked in the session
// encoding where --encoding names it (otherwise each run checks its own).
ParameterMatrix LoadMatrix(const BatchOptions& options) {
    std::optional<SessionEncoding> encoding;
    if (options.encoding) encoding = SessionEncoding::FromName(*options.encoding);
    return ParameterMatrix::Load(*options.matrixFile, encoding ? &*encoding : nullptr);
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
    BatchProgramList listed = CollectPrograms(options.programs, options.recursive);
    if (options.matrixFile) listed = LoadMatrix(options).Runs(listed, options.parameters);
    // Unsharded, the list itself: a copy would cost every program twice.
    std::optional<BatchProgramList> shardPrograms;
    if (options.shard) shardPrograms = SelectShard(listed, *options.shard);
    const BatchProgramList& programs = shardPrograms ? *shardPrograms : listed;
    // Every report is refused before anything is created, folders included.
    std::optional<ReportSet> reportSet;
    {
        // Gone once the reports are named: a batch under --out gathers
        // every program's outputs.
        OutputNames names;
        if (ReportSet::Requested(options, options.jsonFile)) AddBatchFiles(options, listed, names);
        reportSet.emplace(options, options.jsonFile, options.shard, names);
    }
    ReportSet& reports = *reportSet;
    CheckTemporaryFolder();
    if (options.outDir) CreateOutputFolder(*options.outDir);

    // A finished program's log and listing wait on disk for the reports:
    // memory holds its summary only.
    std::optional<ScratchFolder> scratch;
    if (options.outDir) {
        files.folder = options.outDir;
        files.putFiles = true;
        files.listings = true;
    } else if (!reports.Empty()) {
        files.folder = scratch.emplace("tmpBatch.").Path();
        files.listings = reports.ShowsListings();
    }

    BatchSummary summary;
    summary.suiteName = "tamberlo batch";
    if (options.shard) {
        summary.shard = options.shard->Text();
        summary.suiteName.append(" ").append(summary.shard);
    }
    summary.parameters = options.parameters;
    summary.rules = files.rules;
    summary.sourceRoot = options.sourceRoot;
    summary.logsStay = options.outDir.has_value();

    if (!options.shardFrom.empty()) {
        std::fprintf(stdout, "tamberlo: shard %s from %s\n", options.shard->Text().c_str(), options.shardFrom.c_str());
    }
    const StopSignal& stop = console::Interrupts();
    return RunListAndReport(
        options, programs,
        [&options, &files, &stop](const BatchProgram& program) { return RunBatchStep(program, options, files, stop); },
        std::move(summary), reports);
}

}  // namespace

int RunBatchCommand(const BatchOptions& options) {
    return WithCommandErrors([&options] { return Run(options); });
}

}  // namespace tamberlo::cli
