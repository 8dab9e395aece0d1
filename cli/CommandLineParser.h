#pragma once

#include "cli/CliOptions.h"
#include "cli/batch/BatchOptions.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
class Option;
class Validator;
}  // namespace CLI

namespace tamberlo::cli {

// Turns the command line into CliOptions for a single run, or into
// BatchOptions for `tamberlo batch`. Both forms are declared once, with
// CLI11, and their help is laid out from those declarations. Program files
// and -e texts keep the order in which they were given.
class CommandLineParser {
public:
    enum class Form { Single, Batch };
    enum class Action { Run, RunBatch, ShowHelp, ShowVersion };

    struct Outcome {
        Action action = Action::Run;
        CliOptions options;  // Run
        BatchOptions batch;  // RunBatch
        std::string text;    // ShowHelp (of the form asked about), ShowVersion
    };

    // argv[0] is the program's own name and is ignored; "batch" as the first
    // argument chooses the batch form. `defaultJobs` is batch's -j when none
    // is given. Throws UsageError for an unknown option, a missing or bad
    // value, options that cannot go together, or no program at all (unless
    // --report asks for the report of a fresh object). -h/--help and
    // --version give their own action instead of a run.
    static Outcome Parse(int argc, const char* const* argv, unsigned defaultJobs = 1);

    static std::string HelpText(Form form = Form::Single);
    static std::string VersionText();

    // The options a form takes, as their help lines name them ("-e, --code
    // TEXT", "--raw", "PROGRAM"), in the order they are declared.
    static std::vector<std::string> OptionNames(Form form);

    // "30", "0.5": a positive, finite number of seconds, rounded up to whole
    // milliseconds. Throws UsageError naming --timeout otherwise.
    static std::chrono::milliseconds ParseTimeout(std::string_view seconds);

    // The options of a SAS session, which both forms take; a form may word
    // and group them its own way.
    struct SessionWording {
        const char* sasGroup;
        const char* rawGroup;
        const char* raw;
        const char* timeout;
    };
    static void DeclareSessionOptions(CLI::App& app, SessionOptions& options, const SessionWording& wording);

    // Adds to `option` a check made by a CLI11 validator; a value it refuses
    // is a UsageError "<option> <value>: expected <expected>" (without the
    // value when that is empty).
    static void Check(CLI::Option& option, const CLI::Validator& validator, const std::string& expected);
    // A file or folder name: anything but empty.
    static const CLI::Validator& NonEmptyName();
};

}  // namespace tamberlo::cli
