#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/findings/LogFindings.h"
#include "cli/findings/LogLineClassifier.h"
#include "cli/run/PutFileList.h"
#include "cli/findings/Verdict.h"
#include "host/SessionEncoding.h"

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

class LogFollower;

// What one invocation got back from its CodeRunner, copied out before the
// runner (and with it the put files' temporary files) goes.
struct RunResult {
    bool executed = false;  // false: no program, only the report of a fresh object
    std::string status;     // Execute's status string
    std::string log;        // cleaned unless --raw
    std::string lst;
    LogLineClassifier::Counts logLines;  // counted on the raw log, by the options' log rules
    Verdict verdict = Verdict::Clean;    // of the log's lines and SAS's exit code (LogFindings)
    std::vector<Finding> findings;       // those LogFindings keeps, in log order
    std::optional<int> sasExitCode;      // none when SAS did not run
    std::vector<PutFileEntry> putFiles;  // filled when asked for
    std::string report;                  // DebugInfo, when asked for
    std::string console;                 // what SAS wrote to its console (POSIX), raw
    std::optional<int> exitCode;         // SAS's exit code
    // What Execute raised, with what SAS had written by then (a stopped
    // run's partial log and listing) in log and lst.
    std::exception_ptr failure;
    // The session encoding of log, listing and put files (report: UTF-8).
    SessionEncoding encoding = SessionEncoding::PlatformDefault();
};

// Assembles the program from the command line's pieces and runs it through
// one CodeRunner.
class ProgramRun {
public:
    // One value for CodeRunner::SetSASCode.
    struct Assignment {
        std::string value;
        bool isStoredProgram = false;  // value is the path of a .sas file
        bool operator==(const Assignment&) const = default;
    };

    using StandardInputReader = std::function<std::string()>;

    // Turns the pieces into assignments, in order. A file whose name ends in
    // .sas (in any case) stays a path, so that CodeRunner appends it as
    // stored; any other file, standard input and -e texts become program
    // text, as UTF-8. Throws UsageError naming a program file that does not exist,
    // is a folder or cannot be read.
    static std::vector<Assignment> Prepare(const std::vector<ProgramPiece>& pieces,
                                           const StandardInputReader& readStandardInput);

    // `text` as a value that SetSASCode appends as text: a single-line text
    // that ends in ".sas" would be taken for a file name, so it gets a line
    // break of its own (the program then has one empty line more).
    static std::string AsProgramText(std::string text);

    explicit ProgramRun(const SingleRunOptions& options) : options_(options) {}

    // Makes the runner, sets its switches, assigns the program and, if there
    // is one, executes it with the options' time limit, following the log
    // when asked. An error that Execute raises comes back in `failure`, with
    // the texts SAS had written; other errors raised by Tamberlo pass
    // unchanged. The runner and its put files are gone by then.
    RunResult Run(const std::vector<Assignment>& program, LogFollower* follower) const;

private:
    // The options' parameters, with the macro variables of the program's
    // own file when it has one (programfile::WithProgramFile).
    RunSettings ProgramSettings(const std::vector<Assignment>& program) const;

    const SingleRunOptions& options_;
};

}  // namespace tamberlo::cli
