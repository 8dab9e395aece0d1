#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/run/BatchOptions.h"

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// Turns the command line into SingleRunOptions for a single run, or into
// BatchOptions for `tamberlo batch`. Both forms are declared once, with
// CLI11, and their help is laid out from those declarations. Program files
// and -e texts keep the order in which they were given.
//
// Adding an option:
// - Taken by both forms (it applies to every SAS session): a field in
//   SessionOptions and one declaration in DeclareSessionOptions
//   (cli/run/SessionOptions.cpp), with its
//   description and, where the two forms word it differently, a field in
//   SessionWording.
// - Taken by the single run only: a field in SingleRunOptions and a declaration in
//   CommandLineParser.cpp's Declarations, in the group and at the place its
//   help line should take. By the batch form only: a field in BatchOptions
//   and a declaration in BatchCommandLine::Declare.
// Give an option that takes a value its value name (->type_name("FILE")) and
// check the value where it is declared: Check() (SessionOptions.h) with a CLI11 validator
// (CLI::Range, CLI::IsMember, NonEmptyName()) for a plain value, or
// add_option_function with a parser that throws UsageError for a value that
// needs converting (ParseTimeout, BatchCommandLine::ParseShard). Break a
// description with "\n" so that its help lines stay within 80 columns (58
// characters after the names). The help test finds every declared option's
// line by itself. Checks that involve several options go after the parse, in
// Parse(). packaging/tamberlo.1 and packaging/tamberlo.bash-completion name
// every option too (a test compares them with the help).
class CommandLineParser {
public:
    enum class Form { Single, Batch, Scan };
    enum class Action { Run, RunBatch, RunScan, RunRemoteSide, ShowHelp, ShowVersion };

    struct Outcome {
        Action action = Action::Run;
        SingleRunOptions options;  // Run
        BatchOptions batch;        // RunBatch, RunScan (the logs in `programs`)
        std::string text;          // ShowHelp (of the form asked about), ShowVersion
        int protocol = 0;          // RunRemoteSide: the protocol the other side speaks
    };

    // argv[0] is the program's own name and is ignored; "batch" as the first
    // argument chooses the batch form, "scan" the scan of logs, "remote-side"
    // the remote host's end of a remote run. `defaultJobs` is batch's -j when none
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
};

}  // namespace tamberlo::cli
