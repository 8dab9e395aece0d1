// tamberlo: runs SAS programs in batch through Tamberlo from a shell.

#include "cli/batch/BatchCommand.h"
#include "cli/scan/ScanCommand.h"
#include "cli/single/CommandLineParser.h"
#include "cli/base/CommandText.h"
#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/reports/GitHubAnnotations.h"
#include "cli/run/LogFollower.h"
#include "cli/single/ProgramAssembly.h"
#include "cli/single/ResultPrinter.h"
#include "cli/single/SingleRun.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/TemporaryFolder.h"
#include "cli/base/UsageError.h"
#include "cli/single/RemoteClient.h"
#include "cli/remoteside/RemoteSideCommand.h"
#include "host/Error.h"
#include "host/ProcessTree.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <thread>
#include <vector>

using namespace tamberlo::cli;

namespace {

std::string ReadStandardInput() {
    std::string text;
    char buffer[8192];
    while (std::size_t count = std::fread(buffer, 1, sizeof buffer, stdin)) text.append(buffer, count);
    return text;
}

// --check's annotations of the run, and the step summary. The findings'
// lines are those of the program file when it is one file.
ExitStatus Annotate(const SingleRunOptions& options, const ProgramOutcome& outcome, ExitStatus status) {
    const bool oneFile = options.program.size() == 1 && options.program[0].kind == ProgramPiece::Kind::File;
    AnnotatedRun run;
    run.file = oneFile ? options.program[0].value : std::string();
    run.name = oneFile ? run.file : "the program";
    run.verdict = outcome.verdict;
    run.findings = &outcome.findings;
    run.encoding = outcome.encoding;
    // A run SAS did not go through says why (ERROR: No command supplied.).
    run.firstProblem = !outcome.problem.empty()
                           ? tamberlo::commandtext::ToUtf8(outcome.problem)
                           : "SAS exit code " + (outcome.sasExitCode ? std::to_string(*outcome.sasExitCode) : "none");
    for (const Finding& finding : outcome.findings) {
        if (finding.kind != LogLineClassifier::Kind::Error) continue;
        run.firstProblem = outcome.encoding.ToUtf8(finding.text);
        break;
    }
    GitHubAnnotations annotations(stdout);
    annotations.Add(run);
    return annotations.AppendSummary("tamberlo --check") ? status : ExitStatus::OutputFailed;
}

int Fail(ExitStatus status, const std::string& message) {
    std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(tamberlo::AllControlCharsAsCodes(message)).c_str());
    return ToInt(status);
}

}  // namespace

int main(int argc, char** argv) {
    console::UseBinaryStandardStreams();
    try {
        console::CatchInterrupts();
        const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
        const std::vector<std::string> arguments = console::Arguments(argc, argv);
        std::vector<const char*> pointers;
        for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
        const CommandLineParser::Outcome outcome =
            CommandLineParser::Parse(static_cast<int>(pointers.size()), pointers.data(), processors);
        if (outcome.action == CommandLineParser::Action::RunBatch) return RunBatchCommand(outcome.batch);
        if (outcome.action == CommandLineParser::Action::RunScan) return RunScanCommand(outcome.batch);
        if (outcome.action == CommandLineParser::Action::RunRemoteSide) return RunRemoteSideCommand(outcome.protocol);
        if (outcome.action != CommandLineParser::Action::Run) {
            std::fwrite(outcome.text.data(), 1, outcome.text.size(), stdout);
            return ToInt(ExitStatus::Ok);
        }
        const SingleRunOptions& options = outcome.options;
        // The process guard starts while the program is read and checked.
        tamberlo::ProcessTree::Prepare();

        const auto program = ProgramAssembly::Prepare(options.program, ReadStandardInput);
        if (!program.empty()) CheckTemporaryFolder();
        ResultPrinter printer(options, stdout, stderr);
        printer.OpenDestinations();

        LogFollower follower(stderr);
        SingleRunResult result;
        try {
            result = options.remote.Wanted() ? RemoteClient(options).Run(program, options.follow ? stderr : nullptr)
                                             : SingleRun(options).Run(program, options.follow ? &follower : nullptr);
            // No more SAS: the guard ends while the results are printed.
            tamberlo::ProcessTree::LetGo();
            if (result.failure) std::rethrow_exception(result.failure);
        } catch (const tamberlo::Error& error) {
            return ToInt(printer.PrintError(error, result));
        }
        ExitStatus status = printer.PrintRun(result);
        if (options.check && result.executed && GitHubAnnotations::Wanted(options.annotations))
            status = Annotate(options, result.outcome, status);
        // Interrupted after SAS had ended: the run's files are gone, stop here.
        return ToInt(console::InterruptRequested() ? ExitStatus::Interrupted : status);
    } catch (const UsageError& error) {
        return Fail(ExitStatus::Usage, error.what());
    } catch (const SystemFailure& error) {
        return Fail(ExitStatus::OutputFailed, error.what());
    } catch (const std::exception& error) {
        return Fail(ExitStatus::TamberloError, error.what());
    }
}
