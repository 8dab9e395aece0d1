#include "cli/ProgramRun.h"

#include "automation/CodeRunner.h"
#include "cli/Console.h"
#include "cli/LogFollower.h"
#include "cli/UsageError.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tamberlo::cli {
namespace {

std::string ReadProgramFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw UsageError(path + ": cannot read the program file");
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad()) throw UsageError(path + ": cannot read the program file");
    return text;
}

void CheckProgramFile(const std::string& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) throw UsageError(path + ": no such program file");
    if (std::filesystem::is_directory(status)) throw UsageError(path + ": is a folder, not a program file");
    if (!std::ifstream(path, std::ios::binary)) throw UsageError(path + ": cannot read the program file");
}

}  // namespace

std::string ProgramRun::AsProgramText(std::string text) {
    if (NamesProgramFile(text)) text += "\r\n";
    return text;
}

std::vector<ProgramRun::Assignment> ProgramRun::Prepare(const std::vector<ProgramPiece>& pieces,
                                                        const StandardInputReader& readStandardInput) {
    std::vector<Assignment> assignments;
    for (const ProgramPiece& piece : pieces) {
        switch (piece.kind) {
        case ProgramPiece::Kind::File:
            CheckProgramFile(piece.value);
            if (NamesProgramFile(piece.value)) {
                assignments.push_back({piece.value, true});
            } else {
                assignments.push_back({AsProgramText(ReadProgramFile(piece.value)), false});
            }
            break;
        case ProgramPiece::Kind::StandardInput:
            assignments.push_back({AsProgramText(readStandardInput()), false});
            break;
        case ProgramPiece::Kind::Text:
            assignments.push_back({AsProgramText(piece.value), false});
            break;
        }
    }
    return assignments;
}

RunResult ProgramRun::Run(const std::vector<Assignment>& program, LogFollower* follower) const {
    RunResult result;
    CodeRunner runner;
    runner.SetCleanOutput(!options_.raw);
    runner.SetSafeFormChar(!options_.noFormChar);
    for (const Assignment& assignment : program) runner.SetSASCode(assignment.value);

    if (!program.empty()) {
        RunControl control;
        control.timeLimit = options_.timeout;
        control.stop = &console::Interrupts();
        if (follower != nullptr) {
            control.whileRunning = [follower](const std::string& logPath) { follower->Poll(logPath); };
        }
        result.status = runner.Execute(options_.sasRoot, options_.configFile, control);
        result.executed = true;
        result.sasExitCode = runner.LastExitCode();
        result.log = runner.Log();
        result.lst = runner.Lst();
        result.console = runner.Console();
        result.exitCode = runner.LastExitCode();

        // Lines are recognised in the log as SAS wrote it: cleaning would
        // turn a page's leading form feed into "%12".
        runner.SetCleanOutput(false);
        result.logLines = LogLineClassifier::Count(runner.Log());
        runner.SetCleanOutput(!options_.raw);

        if (options_.json || options_.putDir) result.putFiles = ListPutFiles(runner);
    }
    if (options_.report) result.report = runner.DebugInfo();
    return result;
}

}  // namespace tamberlo::cli
