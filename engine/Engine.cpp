#include "engine/Engine.h"

#include "engine/MethodErrors.h"
#include "engine/OutputSwitches.h"
#include "engine/PutFileScan.h"
#include "engine/RunFiles.h"
#include "engine/SASContract.h"
#include "host/ExecCmd.h"
#include "host/HostEnvironment.h"
#include "host/RunFolder.h"
#include "host/TextFileIO.h"
#include "host/TempFileNames.h"

#include <algorithm>
#include <utility>

namespace tamberlo {

namespace {

constexpr const char* NoCommandStatus = "ERROR: No command supplied.";
constexpr const char* OKStatus = "OK";

// The put files that one call of Execute declares. Unless the run gets as
// far as starting SAS they are withdrawn when the call ends (items, files
// and their filename statements), so that the same program can run again on
// the same engine once the root or configuration is right.
class PutFileDeclaration {
public:
    PutFileDeclaration(PutFiles& putFiles, Command& command)
        : putFiles_(putFiles), command_(command), countBefore_(putFiles.Count()), preambleBefore_(command.Preamble()) {}
    ~PutFileDeclaration() { Withdraw(); }
    PutFileDeclaration(const PutFileDeclaration&) = delete;
    PutFileDeclaration& operator=(const PutFileDeclaration&) = delete;

    // SAS is being started: from here the put files belong to the run.
    void Keep() noexcept { settled_ = true; }
    void Withdraw() noexcept {
        if (settled_) return;
        settled_ = true;
        putFiles_.WithdrawAfter(countBefore_);
        command_.SetPreamble(std::move(preambleBefore_));
    }

private:
    PutFiles& putFiles_;
    Command& command_;
    const long countBefore_;
    std::string preambleBefore_;
    bool settled_ = false;
};

// A log or listing as SAS left it: the file's text, or the empty text when
// there is none; `failure` holds the file service's error state when the
// file is there but cannot be read.
struct RunText {
    std::string text;
    std::string failure;
};

RunText ReadRunText(const std::string& path) {
    TextFileIO io;
    RunText read;
    // One open: a missing file is an answer, not a failure.
    if (!io.ReadIfExists(path, read.text, read.failure) || !read.failure.empty()) read.text.clear();
    return read;
}

// Once SAS has ended, the texts of its log and listing files become the
// run's, or empty where SAS wrote none. Both are read; for a file that is
// there but cannot be read, the first such failure is returned.
std::optional<Error> TakeRunTexts(Output& output, const RunFiles& files) {
    RunText log = ReadRunText(files.log);
    RunText listing = ReadRunText(files.listing);
    output.SetLog(std::move(log.text));
    output.SetLst(std::move(listing.text));
    if (!log.failure.empty()) {
        return Error(ComponentErrorNumber, ExecuteSource,
                     "The SAS log file '" + files.log + "' could not be read: " + log.failure);
    }
    if (!listing.failure.empty()) {
        return Error(ComponentErrorNumber, ExecuteSource,
                     "The SAS listing file '" + files.listing + "' could not be read: " + listing.failure);
    }
    return std::nullopt;
}

// Once SAS may have started, its log and listing texts become the run's on
// every way out: taken by Take, or on unwinding (a callback that threw, a
// stop), where a file that cannot be read leaves its text empty. Leave
// keeps the texts as they were, for a run that never started SAS.
class RunTexts {
public:
    RunTexts(Output& output, const RunFiles& files) noexcept : output_(output), files_(files) {}
    ~RunTexts() {
        if (settled_) return;
        try {
            TakeRunTexts(output_, files_);
        } catch (...) {
            // Out of memory while a failure passes on: that failure wins.
        }
    }
    RunTexts(const RunTexts&) = delete;
    RunTexts& operator=(const RunTexts&) = delete;

    std::optional<Error> Take() {
        settled_ = true;
        return TakeRunTexts(output_, files_);
    }
    void Leave() noexcept { settled_ = true; }

private:
    Output& output_;
    const RunFiles& files_;
    bool settled_ = false;
};

// Why a path cannot stand between quotation marks on SAS's command line, or
// the empty text when it can. A quotation mark would end the argument early;
// a backslash at the end would, by the quoting rules, turn the closing
// quotation mark into part of the argument. Only POSIX paths can hold either.
std::string WhyNotQuotable(const std::string& path) {
    if (path.find('"') != std::string::npos) return "holds a quotation mark";
    if (!path.empty() && path.back() == '\\') return "ends in a backslash";
    return {};
}

std::string Quoted(const std::string& text) { return '"' + text + '"'; }

// The preamble in the session encoding: its filename statements name put
// files by the host's paths, which the session must be able to write.
std::string EncodedPreamble(const std::string& preamble, const SessionEncoding& encoding) {
    std::string encoded;
    for (std::size_t start = 0; start < preamble.size();) {
        const std::size_t end = std::min(preamble.find('\n', start), preamble.size() - 1) + 1;
        const std::string line = preamble.substr(start, end - start);
        try {
            encoded += encoding.FromHostPath(line);
        } catch (const UnrepresentableCharacter& character) {
            throw Error(ComponentErrorNumber, ExecuteSource,
                        "The put file statement \"" + line.substr(0, line.find_last_not_of("\r\n") + 1) +
                            "\" cannot be written in the SAS session encoding " + encoding.Name() + ": the character " +
                            character.Describe() + " of its path has no place in it.");
        }
        start = end;
    }
    return encoded;
}

// SAS is given the files of a run in the temporary folder by their names in
// the ANSI code page: a folder that has no such name fails the run before
// anything is written.
void CheckTempFolderNameable() {
    try {
        GetTempDirectory();
    } catch (const hostenv::TempFolderWithoutAnsiName& folder) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The temporary folder '" + folder.Folder() + "' cannot be given to SAS: the character " +
                        UnrepresentableCharacter(folder.Character(), 0).Describe() +
                        " of its name is not in the ANSI code page, and it has no short name that is.");
    }
}

// The run's folder; one that cannot be made fails the run as a program file
// that cannot be written does, before anything is written. The message
// names the temporary folder it was to be made in, not a program file that
// never was.
RunFolder MakeRunFolder() {
    try {
        return RunFolder();
    } catch (const Error& error) {
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The SAS program file could not be written: the run's folder could not be made in '" +
                        GetTempDirectory() + "': OverwriteFile Error #" + std::to_string(error.Number()) + " (" +
                        error.Description() + ")");
    }
}

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

// The preamble every run starts from: the formchar statement, when the
// thread's switches ask for it.
std::string FreshPreamble() {
    return OutputSwitches::ForThisThread().safeFormChar ? std::string(sas::FormCharStatement) + sas::CrLf
                                                        : std::string();
}

// How the process runner waits for SAS: the run's controls, with the log
// that SAS is writing handed to the caller's callback.
ExecCmd::Options WaitOptions(const RunControl& control, const RunFiles& files) {
    ExecCmd::Options wait;
    wait.timeLimit = control.timeLimit;
    wait.stop = control.stop;
    wait.hurry = control.hurry;
    if (control.whileRunning) wait.whileWaiting = [&control, &log = files.log] { control.whileRunning(log); };
    wait.consoleFile = files.console;
    return wait;
}

// False when the runner never started SAS, which leaves the engine as the
// run found it.
bool StartedSAS(ExecCmd::Outcome outcome) {
    return outcome != ExecCmd::Outcome::NotStarted && outcome != ExecCmd::Outcome::StoppedBeforeStart;
}

// Throws the error of a run in which SAS did not end by itself (not
// started, stopped, lost); returns for one in which it did.
void ThrowUnlessEnded(const ExecCmd::Result& result, const std::string& executable, const RunControl& control) {
    switch (result.outcome) {
    case ExecCmd::Outcome::Ended: return;
    case ExecCmd::Outcome::StoppedBeforeStart:
        throw RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was not started: the run was stopped first.");
    case ExecCmd::Outcome::NotStarted:
        throw Error(ComponentErrorNumber, ExecuteSource,
                    "The SAS executable '" + executable + "' could not be started: " + result.failure);
    case ExecCmd::Outcome::TimedOut:
        throw TimeLimitReached(ComponentErrorNumber, ExecuteSource,
                               "SAS did not end within " + DescribeDuration(*control.timeLimit) + " and was stopped.");
    case ExecCmd::Outcome::Stopped:
        throw RunStopped(ComponentErrorNumber, ExecuteSource, "SAS was stopped on request before it ended.");
    case ExecCmd::Outcome::Lost:
        throw Error(
            ComponentErrorNumber, ExecuteSource,
            "The exit code of the SAS executable '" + executable + "' could not be collected: " + result.failure);
    }
}

}  // namespace

Engine::Engine() : Engine(SASInstallation()) {}

Engine::Engine(SASInstallation installation) : installation_(std::move(installation)) {
    command_ = std::make_shared<tamberlo::Command>();
    output_ = std::make_shared<tamberlo::Output>();
}

std::string Engine::BuildCommandLine(const std::string& executable, const std::string& configFile,
                                     const std::string& programFile, const std::string& listingFile,
                                     const std::string& logFile, const std::string& encoding,
                                     const std::string& settingOptions) {
    std::string line = Quoted(executable) + sas::FixedOptions + sas::ConfigOption + Quoted(configFile) +
                       sas::SysinOption + Quoted(programFile) + sas::PrintOption + Quoted(listingFile) +
                       sas::LogOption + Quoted(logFile);
    if (!encoding.empty()) line += sas::EncodingOption + encoding;
    return line + settingOptions;
}

SessionEncoding Engine::Encoding() const {
    if (encoding_) return *encoding_;
    if (encodingSetting_) {
        if (std::optional<SessionEncoding> known = SessionEncoding::FromName(encodingSetting_->name)) return *known;
    }
    return SessionEncoding::PlatformDefault();
}

std::string Engine::Execute(const std::string& SASRoot, const std::string& SASConfigFile, const RunControl& control) {
    if (command_->Value().empty()) return NoCommandStatus;
    CheckTempFolderNameable();

    // Every run starts from a fresh preamble, so that statements of an earlier
    // run (a formchar option since switched off) never come back.
    command_->SetPreamble(runsettings::MacroPreamble(settings_) + FreshPreamble());
    PutFileDeclaration declared(*output_->PutFiles(), *command_);
    DeclarePutFiles();
    const RunFolder folder = MakeRunFolder();
    RunFiles files(folder);
    const Launch launch = PrepareRun(SASRoot, SASConfigFile, files);

    // From here SAS may be running: the put files belong to the run, and on
    // every way out the log and listing texts are this run's.
    declared.Keep();
    // The texts taken from here on are in this run's encoding.
    std::optional<SessionEncoding> encodingBefore = std::exchange(encoding_, launch.encoding);
    RunTexts texts(*output_, files);
    // None from here unless SAS ends by itself; a run that never started it keeps the last.
    const std::optional<int> exitCodeBefore = std::exchange(lastExitCode_, std::nullopt);
    const ExecCmd::Result result = ExecCmd().Run(launch.commandLine, WaitOptions(control, files));
    if (StartedSAS(result.outcome)) {
        // What SAS wrote outside its log, kept even when it was stopped; reading
        // it is best effort, as it only helps to tell why a log is missing.
        console_.clear();
        if (!files.console.empty()) console_ = ReadRunText(files.console).text;
    } else {
        texts.Leave();
        declared.Withdraw();
        lastExitCode_ = exitCodeBefore;
        encoding_ = std::move(encodingBefore);
    }
    ThrowUnlessEnded(result, launch.executable, control);
    lastExitCode_ = result.exitCode;
    if (control.whileRunning) control.whileRunning(files.log);
    if (const std::optional<Error> unreadable = texts.Take()) throw *unreadable;
    return OKStatus;
}

Engine::Launch Engine::PrepareRun(const std::string& SASRoot, const std::string& SASConfigFile, RunFiles& files) const {
    const std::string root = installation_.ResolveSASRoot(SASRoot);
    const std::string executable = root + sas::ExecutableName;
    const std::string configFile = installation_.ResolveConfigFile(root, SASConfigFile);
    // A path that the command line would hand to SAS cut apart or run
    // together with the next one: SAS is not started. Another name for the
    // program file differs only in its digits, so checking the first will do.
    const std::string* const paths[] = {&executable, &configFile, &files.program, &files.listing, &files.log};
    for (const std::string* path : paths) {
        if (const std::string why = WhyNotQuotable(*path); !why.empty()) {
            throw Error(ComponentErrorNumber, ExecuteSource,
                        "The SAS executable '" + executable + "' could not be started: the path '" + *path + "' " +
                            why + ", which its command line cannot pass on.");
        }
    }

    SessionEncoding encoding = ResolveSessionEncoding(encodingSetting_, configFile, root);
    runsettings::Check(settings_, &encoding);
    files.CreateProgram(EncodedPreamble(command_->Preamble(), encoding) + command_->Encoded(encoding));
    std::string commandLine = BuildCommandLine(executable, configFile, files.program, files.listing, files.log,
                                               encodingSetting_ ? encoding.Name() : std::string(),
                                               runsettings::CommandLineOptions(settings_, encoding));
    return {executable, std::move(commandLine), std::move(encoding)};
}

void Engine::DeclarePutFiles() {
    const std::shared_ptr<PutFiles> putFiles = output_->PutFiles();
    std::string preamble = command_->Preamble();
    for (const int number : FindPutFileNumbers(command_->Value())) {
        preamble += putFiles->AddPutFile(static_cast<std::int16_t>(number));
        preamble += sas::CrLf;
    }
    command_->SetPreamble(std::move(preamble));
}

}  // namespace tamberlo
