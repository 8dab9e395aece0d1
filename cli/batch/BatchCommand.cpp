#include "cli/batch/BatchCommand.h"

#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/BatchProgramRun.h"
#include "cli/batch/BatchProgress.h"
#include "cli/batch/BatchReport.h"
#include "cli/batch/BatchRunner.h"
#include "cli/Console.h"
#include "cli/ExitStatus.h"
#include "cli/UsageError.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace tamberlo::cli {
namespace {

// A report file, created before anything runs so that a bad name is a
// usage error and not a lost report, and written at the end. It is not held
// open in between: every SAS started meanwhile would inherit it.
class ReportFile {
public:
    ReportFile(const std::optional<std::string>& name, const std::optional<Shard>& shard, const char* option) {
        if (!name) return;
        name_ = BatchCommandLine::ReportFileName(*name, shard);
        // A report folder that is not there yet is made, as a CI job expects.
        const std::filesystem::path folder = std::filesystem::path(name_).parent_path();
        std::error_code ec;
        if (!folder.empty()) std::filesystem::create_directories(folder, ec);
        try {
            filesystem::WriteWholeFile(name_, {}, filesystem::WriteMode::Overwrite);
        } catch (const Error& error) {
            throw UsageError(std::string(option) + " " + name_ + ": cannot create the file: " + error.Description());
        }
    }

    // False, with a message on standard error, when the text could not be written.
    bool Write(const std::string& text) {
        if (name_.empty()) return true;
        try {
            filesystem::WriteWholeFile(name_, text, filesystem::WriteMode::Overwrite);
            return true;
        } catch (const Error& error) {
            std::fprintf(stderr, "tamberlo: %s: cannot write: %s\n", name_.c_str(), error.Description().c_str());
            return false;
        }
    }

private:
    std::string name_;
};

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", std::gmtime(&now));
    return text;
}

void CreateOutputFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder)) {
        throw UsageError("--out " + folder + ": cannot create the folder" + (ec ? ": " + ec.message() : std::string()));
    }
}

int Run(const BatchOptions& options) {
    std::vector<BatchProgram> programs = CollectPrograms(options.programs, options.recursive);
    if (options.shard) programs = SelectShard(programs, *options.shard);
    ReportFile junit(options.junitFile, options.shard, "--junit");
    ReportFile json(options.jsonFile, options.shard, "--json");
    if (options.outDir) CreateOutputFolder(*options.outDir);

    BatchSummary summary;
    summary.suiteName = "tamberlo batch";
    if (options.shard) summary.suiteName.append(" ").append(options.shard->Text());
    summary.timestamp = UtcTimestamp();
    summary.hostName = console::HostName();

    BatchProgress progress(stdout, console::IsTerminal(stdout), programs.size());
    // Ctrl-C requests this stop: it wakes every running SAS at once, and no
    // further program starts.
    const StopSignal& stop = console::Interrupts();
    const BatchRunner runner(
        options.jobs, [&options, &stop](const BatchProgram& program) { return RunBatchProgram(program, options, stop); },
        [&stop] { return stop.IsRequested(); });
    const std::vector<ProgramOutcome> outcomes = runner.Run(programs, progress);
    const bool interrupted = console::InterruptRequested();

    summary.seconds = progress.ElapsedSeconds();
    ExitStatus status = ExitStatus::Ok;
    for (const ProgramOutcome& outcome : outcomes) status = std::max(status, StatusOf(outcome.verdict));
    if (interrupted) status = ExitStatus::Interrupted;
    summary.exitStatus = ToInt(status);
    progress.Finish(outcomes, interrupted);

    // Both reports are written even when one fails.
    const bool junitWritten = junit.Write(JUnitReport(summary, outcomes));
    const bool jsonWritten = json.Write(JsonReport(summary, outcomes));
    if (!junitWritten || !jsonWritten) return ToInt(ExitStatus::OutputFailed);
    return ToInt(status);
}

}  // namespace

int RunBatchCommand(const BatchOptions& options) {
    try {
        return Run(options);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "tamberlo: %s\n", error.what());
        return ToInt(ExitStatus::Usage);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamberlo: %s\n", error.what());
        return ToInt(ExitStatus::TamberloError);
    }
}

}  // namespace tamberlo::cli
