#include "cli/single/ProgramRun.h"

#include "automation/CodeRunner.h"
#include "cli/base/Console.h"
#include "cli/findings/LogFindings.h"
#include "cli/run/LogFollower.h"
#include "cli/findings/LogRules.h"
#include "cli/run/ProgramFileVariables.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/UsageError.h"
#include "host/Error.h"
#include "cli/base/CommandText.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace tamberlo::cli {
namespace {

// True for a failure of the system's (no descriptor or memory left, a
// device that failed), which says nothing about the command line.
bool IsSystemFailure(long number) {
    return number == errors::TooManyFiles || number == errors::OutOfMemory || number == errors::DeviceIOError ||
           number == errors::DiskNotReady || number == errors::DiskFull;
}

// Program files go through the host's file layer, so that the command and
// CodeRunner see one file the same way: a missing file or folder on the way
// (53, 76) is "no such program file", any other failure names the run-time
// error (a folder is 75, as opening it as a file is on Windows), a usage
// error unless the system is at fault.
template <typename Call>
auto ThroughFileLayer(const std::string& path, Call call) {
    try {
        return call();
    } catch (const Error& error) {
        if (error.Number() == errors::FileNotFound || error.Number() == errors::PathNotFound)
            throw UsageError(path + ": no such program file");
        const std::string message = path + ": cannot read the program file: " + error.Description();
        if (IsSystemFailure(error.Number())) throw SystemFailure(message);
        throw UsageError(message);
    }
}

// A device would be read until memory runs out, a pipe waited on: only a
// regular file is a program file, checked as it is read.
std::string ReadProgramFile(const std::string& path) {
    filesystem::RegularFileRead read = ThroughFileLayer(path, [&] {
        return filesystem::ReadRegularFileIfPresent(commandtext::ToPath(path),
                                                    std::numeric_limits<std::uintmax_t>::max());
    });
    if (read.outcome == filesystem::RegularFileRead::Outcome::Missing)
        throw UsageError(path + ": no such program file");
    if (read.outcome != filesystem::RegularFileRead::Outcome::Read) throw UsageError(path + ": not a regular file");
    return std::move(read.text);
}

void CheckProgramFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(commandtext::ToPath(path), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
        throw UsageError(path + ": not a regular file");
    ThroughFileLayer(path, [&] { filesystem::CheckReadable(commandtext::ToPath(path)); });
}

}  // namespace

RunSettings ProgramRun::ProgramSettings(const std::vector<Assignment>& program) const {
    // A run of several pieces knows the first .sas file as its own: the
    // one it is named after, as --out names its outputs.
    const auto stored = std::find_if(program.begin(), program.end(),
                                     [](const Assignment& assignment) { return assignment.isStoredProgram; });
    RunSettings settings = options_.HostParameters();
    if (stored == program.end()) return settings;
    return programfile::WithProgramFile(std::move(settings), stored->value);
}

std::string ProgramRun::AsProgramText(std::string text) {
    if (NamesProgramFile(text)) text += "\r\n";
    return text;
}

std::vector<ProgramRun::Assignment> ProgramRun::Prepare(const std::vector<ProgramPiece>& pieces,
                                                        const StandardInputReader& readStandardInput) {
    // Text from standard input and other files is in the terminal's
    // encoding, text on the command line in the arguments'.
    const SessionEncoding terminal = SessionEncoding::Terminal();
    std::vector<Assignment> assignments;
    for (const ProgramPiece& piece : pieces) {
        switch (piece.kind) {
        case ProgramPiece::Kind::File:
            CheckProgramFile(piece.value);
            if (NamesProgramFile(piece.value)) {
                assignments.push_back({piece.value, true});
            } else {
                assignments.push_back({AsProgramText(terminal.ToUtf8(ReadProgramFile(piece.value))), false});
            }
            break;
        case ProgramPiece::Kind::StandardInput:
            assignments.push_back({AsProgramText(terminal.ToUtf8(readStandardInput())), false});
            break;
        case ProgramPiece::Kind::Text:
            assignments.push_back({AsProgramText(console::ArgumentEncoding().ToUtf8(piece.value)), false});
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
    if (options_.encoding) runner.SetEncoding(EncodingSetting{*options_.encoding, "--encoding"});
    runner.SetRunSettings(ProgramSettings(program));
    // .sas files go in as stored, read by the command itself: their names
    // may hold characters that the ANSI code page lacks.
    for (const Assignment& assignment : program) {
        if (assignment.isStoredProgram) {
            runner.AppendStoredProgram(ReadProgramFile(assignment.value));
        } else {
            runner.SetSASCode(assignment.value);
        }
    }

    if (!program.empty()) {
        RunControl control;
        control.timeLimit = options_.timeout;
        control.stop = &console::Interrupts();
        control.hurry = &console::SecondInterrupts();
        if (follower != nullptr) {
            control.whileRunning = [follower](const std::string& logPath) { follower->Poll(logPath); };
        }
        try {
            result.status = runner.Execute(options_.HostSASRoot(), options_.HostConfigFile(), control);
        } catch (const UnpassableSetting& refused) {
            // Found only once the run knew its session encoding; SAS was not started.
            throw ParameterUsageError(refused);
        } catch (const Error&) {
            result.failure = std::current_exception();
            result.encoding = runner.Encoding();
            result.log = runner.Log();
            result.lst = runner.Lst();
            return result;
        }
        result.executed = true;
        result.sasExitCode = runner.LastExitCode();
        result.log = runner.Log();
        result.lst = runner.Lst();
        result.console = runner.Console();
        result.exitCode = runner.LastExitCode();

        // Lines are recognised in the log as SAS wrote it: cleaning would
        // turn a page's leading form feed into "%12".
        const LogRules rules(options_.ignore, options_.failOn, options_.strict);
        const LogFindings scan =
            LogFindings::Scan(runner.StoredLog(), rules, runner.PreambleLines(), &console::Interrupts());
        result.logLines = scan.Counts();
        result.verdict = scan.VerdictFor(result.sasExitCode, runner.Console());
        result.findings = scan.Findings();

        if (options_.json || options_.putDir) result.putFiles = ListPutFiles(runner);
    }
    if (options_.report) result.report = runner.DebugInfo();
    result.encoding = runner.Encoding();
    return result;
}

}  // namespace tamberlo::cli
