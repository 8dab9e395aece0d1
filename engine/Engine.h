#pragma once

#include "engine/Command.h"
#include "engine/EncodingSetting.h"
#include "engine/Output.h"
#include "engine/RunSettings.h"
#include "engine/SASInstallation.h"
#include "host/Error.h"
#include "host/StopSignal.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tamberlo {

class RunFiles;

// Controls of a run that only C++ callers have; the automation interface
// always waits without limit.
struct RunControl {
    // Stop SAS once this much time has passed; Execute then throws TimeLimitReached.
    std::optional<std::chrono::milliseconds> timeLimit;
    // Called about every tenth of a second while SAS runs, and once more when
    // it has ended, with the path of the log file SAS is writing. What it
    // throws passes on once SAS has been stopped and the run's files deleted.
    std::function<void(const std::string& logPath)> whileRunning;
    // Once requested (from any thread, or a signal handler), SAS is stopped
    // at once, or not started, and Execute throws RunStopped.
    const StopSignal* stop = nullptr;
    // Once requested, a stopped SAS gets no more time to tidy up: what is
    // left of it is killed at once (a second Ctrl-C).
    const StopSignal* hurry = nullptr;
};

// Thrown by Execute when SAS was stopped at the time limit of a RunControl.
class TimeLimitReached : public Error {
public:
    using Error::Error;
};

// Thrown by Execute when SAS was stopped because RunControl asked for it.
class RunStopped : public Error {
public:
    using Error::Error;
};

// Runs the collected program once in batch through SAS (SAS.EXE, or sas on POSIX).
class Engine {
public:
    // A fresh Command, then a fresh Output (which turns the thread's switches on).
    Engine();
    explicit Engine(SASInstallation installation);

    const std::shared_ptr<tamberlo::Command>& Command() const noexcept { return command_; }
    const std::shared_ptr<tamberlo::Output>& Output() const noexcept { return output_; }

    // "OK" when the run went through (whatever SAS wrote in its log), "ERROR:
    // No command supplied." for an empty program. Every other failure throws,
    // and the run's temporary program, log and listing files are gone on
    // every way out. Once SAS has ended (or was stopped), Log and Lst are its
    // files' texts or empty; a log or listing that is there but cannot be
    // read throws after both were tried. A run that fails before SAS starts
    // leaves both texts as they were and withdraws the put files it declared.
    std::string Execute(const std::string& SASRoot, const std::string& SASConfigFile, const RunControl& control = {});

    // SAS's exit code in the last run that SAS ended; none before SAS has run
    // and after a run in which SAS was stopped.
    std::optional<int> LastExitCode() const noexcept { return lastExitCode_; }
    // What SAS wrote to its standard output and standard error in the last
    // run that started it, as written; always empty where the console is not
    // captured (Windows).
    const std::string& Console() const noexcept { return console_; }

    // The session encoding set explicitly for the runs to come (none: the
    // configuration's, else the platform's default). It is resolved, and an
    // unknown name refused, at every Execute.
    void SetEncoding(std::optional<EncodingSetting> setting) { encodingSetting_ = std::move(setting); }
    // The encoding of the last run that started SAS: the texts of Output are
    // in it. Before that the explicit setting's if it is known, else the
    // platform's default.
    SessionEncoding Encoding() const;

    // The parameters of the runs to come. A setting that cannot reach SAS
    // intact fails Execute with UnpassableSetting before anything is written.
    void SetRunSettings(RunSettings settings) { settings_ = std::move(settings); }
    const RunSettings& Settings() const noexcept { return settings_; }

    // The exact command line of a run; `encoding` is added as -ENCODING
    // when given (an explicit setting), then `settingOptions` as they are
    // (runsettings::CommandLineOptions).
    static std::string BuildCommandLine(const std::string& executable, const std::string& configFile,
                                        const std::string& programFile, const std::string& listingFile,
                                        const std::string& logFile, const std::string& encoding = {},
                                        const std::string& settingOptions = {});

private:
    // What starts SAS on a run whose program file is written.
    struct Launch {
        std::string executable;
        std::string commandLine;
        SessionEncoding encoding;  // the program's, and that of the texts SAS writes
    };

    void DeclarePutFiles();
    // Resolves SAS's executable, configuration and session encoding, writes
    // the program file of `files` and returns what starts SAS on it. Throws,
    // SAS not started, for a path that SAS's command line cannot carry, an
    // encoding that is unknown or cannot hold the program, or a program file
    // that cannot be written.
    Launch PrepareRun(const std::string& SASRoot, const std::string& SASConfigFile, RunFiles& files) const;

    // Made Command first, then Output; released in the same order, so the
    // Output is declared first (members end in reverse order).
    std::shared_ptr<tamberlo::Output> output_;
    std::shared_ptr<tamberlo::Command> command_;
    SASInstallation installation_;
    std::optional<int> lastExitCode_;
    std::string console_;
    std::optional<EncodingSetting> encodingSetting_;
    std::optional<SessionEncoding> encoding_;
    RunSettings settings_;
};

}  // namespace tamberlo
