#include "cli/single/SingleRunReports.h"

#include "cli/base/CommandText.h"
#include "cli/base/Console.h"
#include "cli/base/UsageError.h"
#include "engine/Engine.h"
#include "host/Error.h"
#include "host/FileSystem.h"
#include "host/ControlChars.h"

namespace tamberlo::cli {
namespace {

// The file a destination option names, if it is a file.
std::optional<std::string> NamedFile(const std::optional<std::string>& destination) {
    if (destination && *destination != SingleRunOptions::StandardStream) return destination;
    return std::nullopt;
}

BatchProgram ProgramOf(const std::vector<ProgramPiece>& pieces) {
    BatchProgram program{"-", "", ""};
    for (const ProgramPiece& piece : pieces) {
        if (piece.kind != ProgramPiece::Kind::File) continue;
        program.name = commandtext::FromPath(commandtext::ToPath(piece.value).stem());
        // Program lines are lines of the file only when it is the whole program.
        if (pieces.size() == 1) program.path = piece.value;
        break;
    }
    return program;
}

// `options`, once the code-scanning reports are known to have a file to
// place their results in: code scanning places every result at a line of a
// file, and the lines of a program that is not one file are no file's.
const SingleRunOptions& WithProgramFileForCodeScanning(const SingleRunOptions& options) {
    if (options.program.size() == 1 && options.program.front().kind == ProgramPiece::Kind::File) return options;
    for (const auto& [option, name] :
         {std::pair{"--sarif", options.sarifFile}, {"--codequality", options.codeQualityFile}}) {
        if (name) {
            throw UsageError(std::string(option) + " " + *name +
                             ": the program is not one file (-e text, standard input or several pieces), and code "
                             "scanning places every result in a file");
        }
    }
    return options;
}

}  // namespace

SingleRunReports::SingleRunReports(const SingleRunOptions& options, OutputNames& names)
    : options_(WithProgramFileForCodeScanning(options)), reports_(options, std::nullopt, std::nullopt, names) {}

ProgramOutcome SingleRunReports::Outcome(const SingleRunResult& result, const Error* error) {
    ProgramOutcome outcome = result.outcome;
    outcome.program = ProgramOf(options_.program);
    if (error != nullptr) outcome.Fail(*error);
    // The texts as the command shows them (cleaned unless --raw): from the
    // files --log and --lst wrote, else from copies of the reports' own.
    const auto file = [this](const std::optional<std::string>& named, const std::string& text, const char* name) {
        if (named) return *named;
        if (text.empty()) return std::string();
        if (!scratch_) scratch_.emplace("tmpBatch.");
        const std::string path = scratch_->Path() + "/" + name;
        filesystem::WriteWholeFile(commandtext::ToPath(path), text, filesystem::WriteMode::Overwrite);
        return path;
    };
    outcome.logFile = file(NamedFile(options_.logFile), result.log, "run.log");
    if (reports_.ShowsListings()) outcome.lstFile = file(NamedFile(options_.lstFile), result.lst, "run.lst");
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    return outcome;
}

bool SingleRunReports::Write(const SingleRunResult& result, const Error* error, ExitStatus status) {
    if (reports_.Empty()) return true;
    std::vector<ProgramOutcome> outcomes;
    try {
        outcomes.push_back(Outcome(result, error));
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "tamberlo: the reports: %s\n",
                     console::ForTerminal(AllControlCharsAsCodes(failure.what())).c_str());
        return false;
    }
    BatchSummary summary;
    summary.suiteName = "tamberlo";
    summary.timestamp = UtcTimestamp();
    summary.hostName = console::HostName();
    summary.programs = 1;
    summary.interrupted = outcomes.front().verdict == Verdict::NotRun;
    summary.notRun = summary.interrupted ? 1 : 0;
    summary.seconds = outcomes.front().seconds;
    summary.exitStatus = ToInt(status);
    summary.parameters = options_.parameters;
    summary.rules = LogRules(options_.ignore, options_.failOn, options_.strict);
    summary.sourceRoot = options_.sourceRoot;
    summary.logsStay = NamedFile(options_.logFile).has_value();
    return reports_.Write(summary, outcomes);
}

}  // namespace tamberlo::cli
