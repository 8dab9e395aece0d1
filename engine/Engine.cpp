#include "engine/Engine.h"

#include "engine/OutputSwitches.h"
#include "engine/PutFileScan.h"
#include "engine/SASContract.h"
#include "host/ExecCmd.h"
#include "host/TextFileIO.h"
#include "host/modGlobals.h"

namespace tamberlo {

namespace {

constexpr const char* NoCommandStatus = "ERROR: No command supplied.";
constexpr const char* OKStatus = "OK";

// The program, log and listing files of one run. They are deleted, in that
// order, on every way out of the run; a failed deletion is ignored.
class RunFiles {
public:
    RunFiles()
        : program(MakeTempFileName(sas::ProgramPrefix, sas::ProgramExtension)),
          log(MakeTempFileName(sas::LogPrefix, sas::LogExtension)),
          listing(MakeTempFileName(sas::ListingPrefix, sas::ListingExtension)) {}
    ~RunFiles() {
        TextFileIO files;
        std::string ignored;
        files.DeleteFile(program, ignored);
        files.DeleteFile(log, ignored);
        files.DeleteFile(listing, ignored);
    }
    RunFiles(const RunFiles&) = delete;
    RunFiles& operator=(const RunFiles&) = delete;

    const std::string program;
    const std::string log;
    const std::string listing;
};

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// "30 seconds", "1 second", "1.5 seconds", "250 ms".
std::string DescribeDuration(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    if (ms < 1000) return std::to_string(ms) + " ms";
    std::string seconds = std::to_string(ms / 1000);
    if (ms % 1000 != 0) {
        std::string fraction = std::to_string(1000 + ms % 1000).substr(1);
        while (fraction.back() == '0') fraction.pop_back();
        seconds += "." + fraction;
    }
    return seconds + (ms == 1000 ? " second" : " seconds");
}

}  // namespace

Engine::Engine() : Engine(SASInstallation()) {}

Engine::Engine(SASInstallation installation) : installation_(std::move(installation)) {
    command_ = std::make_shared<tamberlo::Command>();
    output_ = std::make_shared<tamberlo::Output>();
}

std::string Engine::BuildCommandLine(const std::string& executable, const std::string& configFile,
                                     const std::string& programFile, const std::string& listingFile,
                                     const std::string& logFile) {
    return Quoted(executable) + sas::FixedOptions + sas::ConfigOption + Quoted(configFile) + sas::SysinOption +
           Quoted(programFile) + sas::PrintOption + Quoted(listingFile) + sas::LogOption + Quoted(logFile);
}

std::string Engine::Execute(const std::string& SASRoot, const std::string& SASConfigFile, const RunControl& control) {
    if (command_->Value().empty()) return NoCommandStatus;

    // Every run starts from a fresh preamble, so that statements of an earlier
    // run (a formchar option since switched off) never come back.
    command_->SetPreamble(OutputSwitches::ForThisThread().safeFormChar
                              ? std::string(sas::FormCharStatement) + sas::CrLf
                              : std::string());
    DeclarePutFiles();

    const RunFiles files;
    const std::string root = installation_.ResolveSASRoot(SASRoot);
    const std::string executable = root + sas::ExecutableName;
    const std::string configFile = installation_.ResolveConfigFile(root, SASConfigFile);
    const std::string cmdline = BuildCommandLine(executable, configFile, files.program, files.listing, files.log);
    // Every path stands between quotation marks on the command line, so one
    // that holds a quotation mark itself (possible on POSIX only) would reach
    // SAS cut apart into other paths: SAS is not started.
    for (const std::string* path : {&executable, &configFile, &files.program, &files.listing, &files.log}) {
        if (path->find('"') != std::string::npos) {
            throw Error(ComponentErrorNumber, ExecuteSource,
                        "The SAS executable '" + executable + "' could not be started: the path '" + *path +
                            "' holds a quotation mark, which its command line cannot pass on.");
        }
    }

    TextFileIO io;
    std::string errorState;
    io.OverwriteFile(files.program, command_->Preamble() + command_->Value(), errorState);
    if (!errorState.empty()) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The SAS program file '" + files.program + "' could not be written: " + errorState);
    }

    ExecCmd::Options wait;
    wait.timeLimit = control.timeLimit;
    wait.stopRequested = control.stopRequested;
    if (control.whileRunning) wait.whileWaiting = [&] { control.whileRunning(files.log); };
    const ExecCmd::Result result = ExecCmd().Run(cmdline, wait);
    if (result.outcome == ExecCmd::Outcome::NotStarted) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The SAS executable '" + executable + "' could not be started: " + result.failure);
    }
    if (result.outcome == ExecCmd::Outcome::TimedOut) {
        throw TimeLimitReached(ComponentErrorNumber, ExecuteSource,
                               "SAS did not end within " + DescribeDuration(*control.timeLimit) +
                                   " and was stopped.");
    }
    if (result.outcome == ExecCmd::Outcome::Stopped) {
        throw RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was stopped on request before it ended.");
    }
    lastExitCode_ = result.exitCode;
    if (control.whileRunning) control.whileRunning(files.log);

    std::string text;
    if (io.ReadIfExists(files.log, text, errorState)) output_->SetLog(std::move(text));
    if (io.ReadIfExists(files.listing, text, errorState)) output_->SetLst(std::move(text));
    return OKStatus;
}

void Engine::DeclarePutFiles() {
    const std::shared_ptr<PutFiles> putFiles = output_->PutFiles();
    std::string preamble = command_->Preamble();
    try {
        for (const int number : FindPutFileNumbers(command_->Value())) {
            preamble += putFiles->AddPutFile(static_cast<std::int16_t>(number));
            preamble += sas::CrLf;
        }
    } catch (...) {
        // The statements of the put files made before the failure stay.
        command_->SetPreamble(std::move(preamble));
        throw;
    }
    command_->SetPreamble(std::move(preamble));
}

}  // namespace tamberlo
