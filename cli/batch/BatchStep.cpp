#include "cli/batch/BatchStep.h"

#include "cli/run/LocalSasSession.h"
#include "cli/run/ProgramFileVariables.h"
#include "engine/Engine.h"
#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "cli/base/CommandText.h"
#include "host/FileSystem.h"

#include <chrono>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <system_error>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// The outputs go through the host's file layer, whose descriptors and
// handles no child inherits: a SAS that another worker starts meanwhile must
// not hold this program's files open (on Windows it would keep this run's put
// files from being deleted until that SAS ends).
void WriteWholeFile(const fs::path& path, std::string_view text) {
    try {
        filesystem::WriteWholeFile(path, text, filesystem::WriteMode::Overwrite);
    } catch (const Error& error) {
        throw std::runtime_error(path.string() + ": cannot write: " + commandtext::FromHost(error.Description()));
    }
}

std::string ReadPutFile(const std::string& path, const fs::path& to) {
    try {
        return filesystem::ReadWholeFile(path);
    } catch (const Error& error) {
        throw std::runtime_error(to.string() +
                                 ": cannot copy the put file: " + commandtext::FromHost(error.Description()));
    }
}

// Read by the command, whose names may hold characters that the ANSI code
// page lacks; a file that is not there fails as CodeRunner fails it, one
// that cannot be read (no descriptor left, no permission) with the system's
// reason. A device would be read until memory runs out, a pipe waited on:
// only a regular file is a program.
std::string ReadProgram(const std::string& path) {
    filesystem::RegularFileRead read;
    try {
        read =
            filesystem::ReadRegularFileIfPresent(commandtext::ToPath(path), std::numeric_limits<std::uintmax_t>::max());
    } catch (const Error& error) {
        throw std::runtime_error(path +
                                 ": cannot read the program file: " + commandtext::FromHost(error.Description()));
    }
    if (read.outcome == filesystem::RegularFileRead::Outcome::Missing)
        throw std::runtime_error(std::string(SASCodeSource) + ": The file '" + path + "' does not exist.");
    if (read.outcome != filesystem::RegularFileRead::Outcome::Read)
        throw std::runtime_error(path + ": not a regular file");
    return std::move(read.text);
}

void CreateFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder))
        throw std::runtime_error(folder.string() + ": cannot create the folder: " + ec.message());
}

// Where a program's outputs go: <name>.log, <name>.lst, <name>/_PUT<n>.txt.
class OutputFiles {
public:
    OutputFiles(const std::string& outDir, const std::string& name)
        : base_(commandtext::ToPath(outDir) / commandtext::ToPath(name)) {}

    // Removes what an earlier batch into the same folder left for this
    // program, so that the folder never shows an old run as this one's.
    void RemoveEarlier() const {
        std::error_code ec;
        for (const fs::path& file : {Log(), Lst()}) {
            if (!fs::remove(file, ec) && ec)
                throw std::runtime_error(file.string() + ": cannot remove: " + ec.message());
        }
        if (!fs::is_directory(base_, ec)) return;
        for (const fs::directory_entry& entry : fs::directory_iterator(base_, ec)) {
            const fs::path& file = entry.path();
            if (file.filename().string().rfind(sas::PutFileKeyPrefix, 0) == 0 && file.extension() == ".txt" &&
                !fs::remove(file, ec) && ec) {
                throw std::runtime_error(file.string() + ": cannot remove: " + ec.message());
            }
        }
    }

    // The log, and the listing with `listing`, byte for byte as SAS wrote
    // them (no listing file when SAS wrote none): an archive of the run.
    void WriteTexts(const SasOutput& output, bool listing, ProgramOutcome& outcome) const {
        CreateFolder(base_.parent_path());
        WriteWholeFile(Log(), output.log);
        outcome.logFile = Log().string();
        if (!listing || output.lst.empty()) return;
        WriteWholeFile(Lst(), output.lst);
        outcome.lstFile = Lst().string();
    }

    // The put files copied byte for byte as SAS wrote them.
    void WritePutFiles(const std::vector<SasPutFile>& files) const {
        if (!files.empty()) CreateFolder(base_);
        for (const SasPutFile& file : files) {
            const fs::path to = base_ / (file.key + ".txt");
            WriteWholeFile(to, ReadPutFile(file.path, to));
        }
    }

private:
    fs::path Log() const { return fs::path(base_) += ".log"; }
    fs::path Lst() const { return fs::path(base_) += ".lst"; }

    fs::path base_;
};

// The run's parameters as CodeRunner takes them: a table's row brings no
// autoexec file, so its host name is the command line's; the program knows
// its own file.
RunSettings HostParameters(const BatchProgram& program, const BatchOptions& options) {
    RunSettings settings = options.HostParameters();
    if (program.parameters) {
        RunSettings own = *program.parameters;
        own.autoexec = std::move(settings.autoexec);
        settings = std::move(own);
    }
    return programfile::WithProgramFile(std::move(settings), program.path);
}

}  // namespace

std::optional<ProgramOutcome> RunBatchStep(const BatchProgram& program, const BatchOptions& options,
                                           const ProgramFiles& files, const StopSignal& stop) {
    const auto started = std::chrono::steady_clock::now();
    ProgramOutcome outcome;
    outcome.program = program;
    outcome.cleaned = !options.raw;
    try {
        if (!program.problem.empty()) throw std::runtime_error(program.problem);
        std::optional<OutputFiles> outputs;
        if (files.folder) {
            outputs.emplace(*files.folder, program.OutputName());
            if (files.putFiles) outputs->RemoveEarlier();
        }
        LocalSasSession session(options);
        try {
            session.Execute({{{ReadProgram(program.path), true}}, HostParameters(program, options)}, stop, nullptr);
        } catch (const TimeLimitReached&) {
            // What SAS wrote until it was stopped is where it hung: the
            // report and --out keep it; its put files are no outputs.
            const SasOutput partial = session.Output();
            outcome.encoding = partial.encoding;
            if (outputs) outputs->WriteTexts(partial, files.listings, outcome);
            throw;
        }
        const SasOutput output = session.Output();
        outcome.Judge(output, files.rules, &stop);
        // SAS did not run (an empty program): there is nothing to write.
        if (outcome.verdict != Verdict::TamberloError && outputs) {
            outputs->WriteTexts(output, files.listings, outcome);
            if (files.putFiles) outputs->WritePutFiles(output.putFiles);
        }
    } catch (const RunStopped&) {
        return std::nullopt;
    } catch (const Error& error) {
        outcome.Fail(error);
    } catch (const std::exception& error) {
        outcome.verdict = Verdict::TamberloError;
        outcome.problem = error.what();
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return outcome;
}

}  // namespace tamberlo::cli
