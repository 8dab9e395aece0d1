#include "cli/batch/BatchCommand.h"

#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/BatchProgramRun.h"
#include "cli/batch/BatchProgress.h"
#include "cli/batch/BatchReport.h"
#include "cli/batch/BatchRunner.h"
#include "cli/batch/HtmlReport.h"
#include "cli/batch/OwnedTempName.h"
#include "cli/batch/ParameterMatrix.h"
#include "cli/batch/ReportFile.h"
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

// A folder of the batch's own in the temporary folder, for the logs that
// only the reports need (no --out), removed with everything in it at the
// end; readable by its owner only. Its name carries the process id: the
// folders of batches that were killed are removed when the next one starts.
class ScratchFolder {
public:
    ScratchFolder() {
        const std::string temporary = commandtext::FromHost(GetTempDirectory());
        const OwnedTempName names("tmpBatch.", "");
        names.RemoveLeftovers(commandtext::ToPath(temporary));
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string name = temporary + names.New();
            std::error_code ec;
            if (std::filesystem::create_directory(commandtext::ToPath(name), ec)) {
                path_ = name;
                std::filesystem::permissions(commandtext::ToPath(name), std::filesystem::perms::owner_all, ec);
            }
        }
        if (path_.empty()) throw std::runtime_error("cannot create a folder in " + temporary);
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

// The reports asked for: option and name as given.
struct ReportRequest {
    const char* option;
    const std::optional<std::string>& name;
};

// The file a report goes to, named after the shard. A name that is a folder,
// or ends as one, is refused as given, shard or not.
std::optional<std::string> ReportName(const ReportRequest& report, const std::optional<Shard>& shard) {
    if (!report.name) return std::nullopt;
    const std::filesystem::path path = commandtext::ToPath(*report.name);
    std::error_code ec;
    if (!path.has_filename() || path.filename() == "." || path.filename() == ".." ||
        std::filesystem::is_directory(path, ec)) {
        throw UsageError(std::string(report.option) + " " + *report.name + ": is a folder");
    }
    return BatchCommandLine::ReportFileName(*report.name, shard);
}

// Refuses a report that would be written over another report, a program of
// the batch (of any shard) or an output under --out, before anything is
// written. The programs' own outputs cannot meet: their names are unique.
void CheckReportNames(const BatchOptions& options, const std::vector<BatchProgram>& programs,
                      const std::vector<std::pair<const char*, std::string>>& reports) {
    if (reports.empty()) return;
    OutputNames names;
    const std::string* previous = nullptr;
    for (const BatchProgram& program : programs) {
        // A table's runs of one program follow each other: it is one input.
        if (previous == nullptr || *previous != program.path)
            names.AddInput("the program " + program.path, program.path);
        previous = &program.path;
        if (!options.outDir) continue;
        const std::string out = "--out " + *options.outDir + " (";
        const std::string base = *options.outDir + "/" + program.OutputName();
        names.AddOutput(out + "the log of " + program.name + ")", base + ".log");
        names.AddOutput(out + "the listing of " + program.name + ")", base + ".lst");
        names.AddPutFolder(out + "the put files of " + program.name + ")", base);
    }
    if (options.matrixFile) names.AddInput("--matrix " + *options.matrixFile, *options.matrixFile);
    if (options.outDir) names.AddOutput("--out " + *options.outDir, *options.outDir);
    for (const auto& [option, name] : reports) names.AddOutput(std::string(option) + " " + name, name);
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

// The parameter table of --matrix, its values checked in the session
// encoding where --encoding names it (otherwise each run checks its own).
ParameterMatrix LoadMatrix(const BatchOptions& options) {
    std::optional<SessionEncoding> encoding;
    if (options.encoding) encoding = SessionEncoding::FromName(*options.encoding);
    return ParameterMatrix::Load(*options.matrixFile, encoding ? &*encoding : nullptr);
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
    std::vector<BatchProgram> listed = CollectPrograms(options.programs, options.recursive);
    if (options.matrixFile) listed = LoadMatrix(options).Runs(listed, options.parameters);
    const std::vector<BatchProgram> programs = options.shard ? SelectShard(listed, *options.shard) : listed;
    const std::optional<std::string> junitName = ReportName({"--junit", options.junitFile}, options.shard);
    const std::optional<std::string> jsonName = ReportName({"--json", options.jsonFile}, options.shard);
    const std::optional<std::string> htmlName = ReportName({"--html", options.htmlFile}, options.shard);
    std::vector<std::pair<const char*, std::string>> reports;
    if (junitName) reports.emplace_back("--junit", *junitName);
    if (jsonName) reports.emplace_back("--json", *jsonName);
    if (htmlName) reports.emplace_back("--html", *htmlName);
    CheckReportNames(options, listed, reports);

    // Nothing is created before here.
    std::optional<ReportFile> junit, json, html;
    if (junitName) junit.emplace(*junitName, "--junit");
    if (jsonName) json.emplace(*jsonName, "--json");
    if (htmlName) html.emplace(*htmlName, "--html");
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

    // Every report is written even when one fails.
    bool written = true;
    if (junit) written &= junit->Write([&](std::ostream& out) { WriteJUnitReport(out, summary, outcomes); });
    if (json) written &= json->Write([&](std::ostream& out) { WriteJsonReport(out, summary, outcomes); });
    if (html)
        written &= html->Write([&](std::ostream& out) {
            WriteHtmlReport(out, summary, outcomes, html->Name(), options.outDir.has_value());
        });
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
