#pragma once

#include "cli/run/ReportOptions.h"
#include "cli/base/UsageError.h"
#include "cli/run/RemoteOptions.h"
#include "engine/RunSettings.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
class Validator;
}  // namespace CLI

namespace tamberlo::cli {

class OutputNames;

// What both forms of the command ask of every SAS session they start.
struct SessionOptions {
    std::string sasRoot;     // empty: the standard search
    std::string configFile;  // empty: the default file beside the SAS executable
    // Unset: the configuration's -ENCODING, else the platform's default.
    std::optional<std::string> encoding;
    bool raw = false;                                  // CleanOutput off
    bool noFormChar = false;                           // SafeFormChar off
    std::optional<std::chrono::milliseconds> timeout;  // per run

    // What counts in a log (LogRules): patterns in RE2's syntax, checked as
    // they are given and together once the command line is read; a --fail-on value may
    // be "NAME=PATTERN".
    std::vector<std::string> ignore;
    std::vector<std::string> failOn;
    bool strict = false;

    // --annotations: "github" or "none"; unset: GitHub Actions' own
    // environment decides (GitHubAnnotations::Wanted).
    std::optional<std::string> annotations;

    // --remote and the options beside it: where SAS runs, when not here.
    RemoteOptions remote;

    // The run's parameters: --sysparm, --set, --let, --autoexec (the path
    // as given) and --sas-option, texts in UTF-8; a name given twice keeps
    // its last value.
    RunSettings parameters;

    // The root and configuration file by the names SAS is given them: the
    // host's narrow paths (on Windows in the ANSI code page, or the short
    // name where that lacks a character). Throws UsageError naming the
    // option when a path has no such name.
    std::string HostSASRoot() const;
    std::string HostConfigFile() const;
    // The parameters as CodeRunner takes them: the autoexec file by its host name.
    RunSettings HostParameters() const;
};

// The usage error for a parameter that a run could not pass to SAS, naming
// the option it came from.
UsageError ParameterUsageError(const UnpassableSetting& refused);

// Gathers the files every run reads besides its program (--autoexec,
// --config) as inputs, so that no output of the command is written over them.
void AddSessionInputs(const SessionOptions& options, OutputNames& names);

// How a form of the command words and groups the session options in its help.
struct SessionWording {
    const char* sasGroup;
    const char* rawGroup;
    const char* raw;
    const char* timeout;
};

// Declares the session options, which both forms take, on `app`, bound to
// `options`, each checked as it is given.
void DeclareSessionOptions(CLI::App& app, SessionOptions& options, const SessionWording& wording);

// Declares the report options, which both forms take, on `app` in `group`,
// bound to `options`; `jsonFile`, when given, is the batch's --json FILE,
// declared among them.
void DeclareReportOptions(CLI::App& app, ReportOptions& options, const char* group,
                          std::optional<std::string>* jsonFile = nullptr);
// The options of what counts in a log (--ignore, --fail-on, --strict) and
// --annotations, which DeclareSessionOptions declares too: for a form that
// starts no SAS session.
void DeclareLogRules(CLI::App& app, SessionOptions& options);
// Throws the UsageError that LogRules throws for the options' rules taken
// together (two rules of one name, patterns too many for one automaton):
// for the command line, once it is read, before anything runs.
void CheckLogRules(const SessionOptions& options);
void DeclareAnnotations(CLI::App& app, SessionOptions& options);

// Adds to `option` a check made by a CLI11 validator; a value it refuses is a
// UsageError "<option> <value>: expected <expected>" (without the value when
// that is empty).
void Check(CLI::Option& option, const CLI::Validator& validator, const std::string& expected);

// A file or folder name: anything but empty.
const CLI::Validator& NonEmptyName();

// "30", "0.5": a positive, finite number of seconds, rounded up to whole
// milliseconds. Throws UsageError naming --timeout otherwise.
std::chrono::milliseconds ParseTimeout(std::string_view seconds);

}  // namespace tamberlo::cli
