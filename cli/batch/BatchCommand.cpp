#include "cli/batch/BatchCommand.h"

#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/BatchProgramRun.h"
#include "cli/batch/BatchProgress.h"
#include "cli/batch/BatchReport.h"
#include "cli/batch/BatchRunner.h"
#include "cli/batch/HtmlReport.h"
#include "cli/batch/ReportFile.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
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

// A folder of the batch's own in the temporary folder, for the logs that
// only the reports need (no --out), removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string name = commandtext::FromHost(MakeTempFileName("tmpBatch", ""));
            std::error_code ec;
            if (std::filesystem::create_directory(commandtext::ToPath(name), ec)) path_ = name;
        }
        if (path_.empty()) throw std::runtime_error("cannot create a folder in " + commandtext::FromHost(GetTempDirectory()));
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(commandtext::ToPath(path_), ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
};

std::optional<ReportFile> Report(const std::optional<std::string>& name, const std::optional<Shard>& shard,
                                 const char* option) {
    if (!name) return std::nullopt;
    return ReportFile(BatchCommandLine::ReportFileName(*name, shard), option);
}

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&now));
    return text;
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
    std::vector<BatchProgram> programs = CollectPrograms(options.programs, options.recursive);
    if (options.shard) programs = SelectShard(programs, *options.shard);
    const std::optional<ReportFile> junit = Report(options.junitFile, options.shard, "--junit");
    const std::optional<ReportFile> json = Report(options.jsonFile, options.shard, "--json");
    const std::optional<ReportFile> html = Report(options.htmlFile, options.shard, "--html");
    if (options.outDir) CreateOutputFolder(*options.outDir);

    // A finished program's log and listing wait on disk for the reports:
    // memory holds its summary only.
    std::optional<ScratchFolder> scratch;
    if (options.outDir) {
        files.folder = options.outDir;
        files.putFiles = true;
        files.listings = true;
    } else if (junit || json || html) {
        files.folder = scratch.emplace().Path();
        files.listings = html.has_value();
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

    if (!options.shardFrom.empty()) {
        std::fprintf(stdout, "tamberlo: shard %s from %s\n", options.shard->Text().c_str(), options.shardFrom.c_str());
    }
    BatchProgress progress(stdout, console::IsTerminal(stdout), programs.size());
    // Ctrl-C requests this stop: it wakes every running SAS at once, and no
    // further program starts.
    const StopSignal& stop = console::Interrupts();
    const BatchRunner runner(
        options.jobs,
        [&options, &files, &stop](const BatchProgram& program) { return RunBatchProgram(program, options, files, stop); },
        [&stop] { return stop.IsRequested(); });
    const std::vector<ProgramOutcome> outcomes = runner.Run(programs, progress);
    const bool interrupted = console::InterruptRequested();

    summary.seconds = progress.ElapsedSeconds();
    summary.interrupted = interrupted;
    ExitStatus status = ExitStatus::Ok;
    for (const ProgramOutcome& outcome : outcomes) status = std::max(status, StatusOf(outcome.verdict));
    if (interrupted) status = ExitStatus::Interrupted;
    summary.exitStatus = ToInt(status);
    progress.Finish(outcomes, interrupted);

    // Every report is written even when one fails.
    bool written = true;
    if (junit) written &= junit->Write([&](std::ostream& out) { WriteJUnitReport(out, summary, outcomes); });
    if (json) written &= json->Write([&](std::ostream& out) { WriteJsonReport(out, summary, outcomes); });
    if (html) written &= html->Write([&](std::ostream& out) { WriteHtmlReport(out, summary, outcomes, html->Name(), options.outDir.has_value()); });
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
