#include "cli/CommandLineParser.h"

#include "cli/HelpFormatter.h"
#include "cli/LogRules.h"
#include "cli/UsageError.h"
#include "cli/batch/BatchCommandLine.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstddef>
#include <memory>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {
namespace {

constexpr const char* description =
    R"(Runs one SAS program in batch through Tamberlo and shows what came back: the
listing on standard output, the log on standard error. The program is made of
the PROGRAM arguments and -e texts, joined in the order they are given.)";

// Where SAS is found, and what becomes of its console, differ with the SAS
// the build drives.
#ifdef _WIN32
constexpr const char* sasRootHelp = R"(the folder of SAS.EXE (default: the standard installation
folder, searched on drives C to Z))";
constexpr const char* configHelp = R"(the SAS configuration file (default: sasv8.cfg beside
SAS.EXE))";
constexpr const char* consoleHelp = "";
#else
constexpr const char* sasRootHelp = R"(the folder of sas (default: the installation of the sas on PATH,
found along its links, else the first of
/usr/local/SASHome/SASFoundation/9.4/,
/opt/sas/SASHome/SASFoundation/9.4/ and
/opt/SASHome/SASFoundation/9.4/ that holds sas))";
constexpr const char* configHelp = R"(the SAS configuration file (default: sasv9.cfg beside
sas))";
constexpr const char* consoleHelp = R"(
What SAS writes to its own standard output and error (why it did not start,
say) is kept apart. When SAS wrote no log or ended with a non-zero exit code,
its last lines are shown on standard error and --json carries it as "console".
)";
#endif

constexpr const char* footerOutputs =
    R"(With --report or --json the log and listing are printed only to files named
by --log and --lst. Put files are shown by --put-dir, --json and --report.
)";

constexpr const char* footerStatuses = R"(
Exit status:
  0   the run went through (with --check: the log is clean and SAS ended
      with code 0); a code other than 0 is shown on standard error as
      "tamberlo: SAS ended with exit code N"
  1   --check: the log has warning lines but no error lines, or SAS's code
      was 1
  2   --check: the log has error lines, or SAS's code was 2 or more
  3   Tamberlo raised an error ("tamberlo: <source>: <description>"), or the
      program was empty
  4   the time limit of --timeout was reached
  64  bad usage: an unknown option, a bad value, a missing program file, an
      output file that cannot be created
  74  an output could not be written after the run
  130 interrupted (Ctrl-C): SAS was stopped and nothing was left behind

Examples:
  tamberlo report.sas > report.lst 2> report.log
  tamberlo --check --put-dir out -e "data _null_; file _put1; put 'hello'; run;"
  echo "data _null_; file print; put 'hello'; run;" | tamberlo --json -)";

constexpr CommandLineParser::SessionWording singleRunWording{
    "SAS", "Output",
    R"(texts as SAS wrote them; otherwise control characters
other than line breaks show as % and their code (%12))",
    R"(stop SAS after SECONDS (0.5 is fine), exit with 4 and
leave no temporary file behind)"};

void RejectStandardOutput(const std::optional<std::string>& destination, const char* option, const char* mode) {
    if (destination && *destination == CliOptions::StandardStream) {
        throw UsageError(std::string(option) + " -: standard output carries the output of " + mode);
    }
}

// A file or folder name option of the single run, stored when given.
CLI::Option* AddName(CLI::App& app, const char* name, std::optional<std::string>& into, const char* typeName,
                     const char* expected, const std::string& help) {
    CLI::Option* option =
        app.add_option_function<std::string>(name, [&into](const std::string& value) { into = value; }, help);
    option->type_name(typeName)->group("Output");
    CommandLineParser::Check(*option, CommandLineParser::NonEmptyName(), expected);
    return option;
}

// Both forms declared on one CLI11 app, bound to an Outcome; the single
// run's PROGRAM and -e values are kept here until their order is known.
class Declarations {
public:
    Declarations(CommandLineParser::Outcome& outcome, unsigned defaultJobs) {
        CliOptions& options = outcome.options;
        app.formatter(std::make_shared<HelpFormatter>());

        files = app.add_option("PROGRAM", fileValues,
                               R"(a program file, or - for standard input (read as it is
and appended as text). A name ending in .sas (in any
case) is appended exactly as stored; any other file is
read and appended as program text, followed by a line
break.)");
        files->group("Program");
        texts = app.add_option("-e,--code", textValues, "one line of program text (may be repeated)");
        texts->allow_extra_args(false)->type_name("TEXT")->group("Program");
        CommandLineParser::DeclareSessionOptions(app, options, singleRunWording);
        AddName(app, "--log", options.logFile, "FILE", "a file name or -",
                "where the log goes (default: standard error; - for\nstandard output)");
        AddName(app, "--lst", options.lstFile, "FILE", "a file name or -",
                "where the listing goes (default: standard output)");
        AddName(app, "--put-dir", options.putDir, "DIR", "a folder name",
                R"(copy every put file, byte for byte as SAS wrote it, to
DIR/<key>.txt (_PUT1.txt, ...); DIR is created when
missing)");
        app.add_flag("--follow", options.follow, R"(show the log on standard error while SAS writes it (as
written, uncleaned); with the default log destination
it is then not printed again at the end)")
            ->group("Output");
        CLI::Option* report = app.add_flag("--report", options.report, R"(print the debug report on standard output instead of
the listing; without a program, that of a fresh object)");
        report->group("Output");
        CLI::Option* json = app.add_flag("--json", options.json, R"(print one JSON object on standard output instead:
status, log, listing, putFiles (key, path, text), the
counts errorLines and warningLines and sasExitCode; on
failure an object with "error" (number, source,
description))");
        json->group("Output")->excludes(report);
        app.add_flag("--check", options.check, R"(exit like SAS: 1 if the log has warning lines or SAS
ended with code 1, 2 if it has error lines (lines that
start with ERROR: or ERROR 180-322:, WARNING: or
WARNING 1-322: and alike) or SAS ended with code 2 or
more)")
            ->group("Output");
        DeclareHelp(app);
        app.set_version_flag("--version", CommandLineParser::VersionText(), "show the version and exit")
            ->group(HelpFormatter::Untitled)
            ->trigger_on_parse();
        app.footer(std::string(footerOutputs) + consoleHelp + footerStatuses);

        // The batch form is a subcommand of its own, with its own help;
        // the single run's help does not list it.
        batch = app.add_subcommand("batch", BatchCommandLine::Description());
        batch->group("");
        BatchCommandLine::Declare(*batch, outcome.batch, defaultJobs);
        DeclareHelp(*batch);
    }

    CLI::App app{description, "tamberlo"};
    CLI::App* batch = nullptr;
    CLI::Option* files = nullptr;
    CLI::Option* texts = nullptr;
    std::vector<std::string> fileValues;
    std::vector<std::string> textValues;

private:
    // Last, so that the help lists it last. Help and version answer as
    // soon as they are met, ahead of any fault in the other arguments.
    static void DeclareHelp(CLI::App& app) {
        app.set_help_flag();
        app.add_flag_callback("-h,--help", [] { throw CLI::CallForHelp(); }, "show this text and exit")
            ->group(HelpFormatter::Untitled)
            ->configurable(false)
            ->trigger_on_parse();
    }
};

// The single run's program, in command-line order: CLI11 records one entry
// per value taken, and the two lists are consumed in that same order.
void TakeProgram(const Declarations& declared, CliOptions& options) {
    std::size_t nextFile = 0;
    std::size_t nextText = 0;
    bool standardInputSeen = false;
    for (const CLI::Option* option : declared.app.parse_order()) {
        if (option == declared.files) {
            const std::string& file = declared.fileValues.at(nextFile++);
            if (file == CliOptions::StandardStream) {
                if (standardInputSeen) throw UsageError("-: standard input can be named only once");
                standardInputSeen = true;
                options.program.push_back({ProgramPiece::Kind::StandardInput, {}});
            } else {
                options.program.push_back({ProgramPiece::Kind::File, file});
            }
        } else if (option == declared.texts) {
            options.program.push_back({ProgramPiece::Kind::Text, declared.textValues.at(nextText++)});
        }
    }
}

}  // namespace

void CommandLineParser::DeclareSessionOptions(CLI::App& app, SessionOptions& options, const SessionWording& wording) {
    app.add_option("--sas-root", options.sasRoot, sasRootHelp)->type_name("DIR")->group(wording.sasGroup);
    app.add_option("--config", options.configFile, configHelp)->type_name("FILE")->group(wording.sasGroup);
    CLI::Option* encoding = app.add_option_function<std::string>(
        "--encoding", [&options](const std::string& name) { options.encoding = name; },
        "the SAS session encoding (UTF-8, WLATIN1, LATIN1,\nSHIFT-JIS, ...), passed to SAS as -ENCODING; default:\nthe last -ENCODING of the configuration file");
    encoding->type_name("NAME")->group(wording.sasGroup);
    Check(*encoding, NonEmptyName(), "the name of an encoding");
    app.add_flag("--no-formchar", options.noFormChar, "no formchar options statement ahead of the program")
        ->group(wording.sasGroup);
    app.add_flag("--raw", options.raw, wording.raw)->group(wording.rawGroup);
    app.add_option_function<std::string>(
           "--timeout", [&options](const std::string& seconds) { options.timeout = ParseTimeout(seconds); },
           wording.timeout)
        ->type_name("SECONDS")
        ->group(wording.sasGroup);

    // Checked as they are given, so that a bad pattern is a usage error
    // before anything runs.
    static const CLI::Validator regex(
        [](std::string& pattern) {
            try {
                LogRules().Ignore(pattern);
                return std::string();
            } catch (const UsageError&) {
                return std::string("invalid");
            }
        },
        "");
    constexpr const char* rulesGroup = "Log rules";
    CLI::Option* ignore = app.add_option("--ignore", options.ignore, R"(a log line matching REGEX (ECMAScript, searched in the
line) is not counted as an ERROR or WARNING line; may
be given more than once)");
    ignore->type_name("REGEX")->allow_extra_args(false)->group(rulesGroup);
    Check(*ignore, regex, "a regular expression");
    CLI::Option* failOn = app.add_option("--fail-on", options.failOn, R"(a log line matching REGEX counts as an ERROR line (a
NOTE the site treats as a fault); may be given more
than once; --ignore wins)");
    failOn->type_name("REGEX")->allow_extra_args(false)->group(rulesGroup);
    Check(*failOn, regex, "a regular expression");
    app.add_flag("--strict", options.strict, R"(fail on the NOTEs careful programmers check for:
uninitialized variables, invalid data, repeats of BY
values, values converted, missing values generated,
W.D formats too small, MERGE without BY)")
        ->group(rulesGroup);
}

void CommandLineParser::Check(CLI::Option& option, const CLI::Validator& validator, const std::string& expected) {
    option.check(CLI::Validator(
        [validator, expected, name = option.get_name()](std::string& value) {
            std::string copy = value;
            if (!validator(copy).empty()) {
                throw UsageError(name + (value.empty() ? "" : " " + value) + ": expected " + expected);
            }
            return std::string();
        },
        // The help names the value by its type alone.
        ""));
}

const CLI::Validator& CommandLineParser::NonEmptyName() {
    static const CLI::Validator nonEmpty(
        [](std::string& value) { return value.empty() ? std::string("empty") : std::string(); }, "");
    return nonEmpty;
}

std::string CommandLineParser::HelpText(Form form) {
    Outcome outcome;
    const Declarations declared(outcome, 1);
    return form == Form::Single ? declared.app.help() : declared.batch->help("tamberlo");
}

std::vector<std::string> CommandLineParser::OptionNames(Form form) {
    Outcome outcome;
    const Declarations declared(outcome, 1);
    const CLI::App& app = form == Form::Single ? declared.app : *declared.batch;
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        names.push_back(HelpFormatter::Names(*option) + HelpFormatter::ValueName(*option));
    }
    return names;
}

std::string CommandLineParser::VersionText() { return std::string("tamberlo ") + TAMBERLO_VERSION + "\n"; }

std::chrono::milliseconds CommandLineParser::ParseTimeout(std::string_view seconds) {
    // Whole seconds this large are far beyond any batch run and still far
    // from overflowing the millisecond count.
    constexpr double maximumSeconds = 1e9;
    double value = 0;
    const char* first = seconds.data();
    const char* last = first + seconds.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (seconds.empty() || ec != std::errc{} || end != last || !std::isfinite(value) || value <= 0) {
        throw UsageError("--timeout " + std::string(seconds) + ": expected a positive number of seconds");
    }
    if (value > maximumSeconds) {
        throw UsageError("--timeout " + std::string(seconds) + ": more than 1000000000 seconds");
    }
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(value * 1000.0)));
}

CommandLineParser::Outcome CommandLineParser::Parse(int argc, const char* const* argv, unsigned defaultJobs) {
    Outcome outcome;
    Declarations declared(outcome, defaultJobs);
    try {
        // CLI11 wants a mutable argv; it only reads it.
        declared.app.parse(argc, const_cast<char**>(argv));
    } catch (const CLI::CallForHelp&) {
        outcome.action = Action::ShowHelp;
        outcome.text = declared.app.help();
        return outcome;
    } catch (const CLI::CallForVersion&) {
        outcome.action = Action::ShowVersion;
        outcome.text = VersionText();
        return outcome;
    } catch (const CLI::ParseError& error) {
        if (declared.batch->parsed()) throw UsageError(OneLine(error.what()) + " (see tamberlo batch --help)");
        throw UsageError(OneLine(error.what()) + " (see tamberlo --help)");
    }

    if (declared.batch->parsed()) {
        // Arguments of the single run before "batch" would be lost on the batch.
        if (!declared.app.parse_order().empty()) {
            throw UsageError("batch: must be the first argument (see tamberlo batch --help)");
        }
        if (outcome.batch.programs.empty()) throw UsageError(BatchCommandLine::NoProgram());
        outcome.action = Action::RunBatch;
        return outcome;
    }

    CliOptions& options = outcome.options;
    TakeProgram(declared, options);
    if (options.json) {
        RejectStandardOutput(options.logFile, "--log", "--json");
        RejectStandardOutput(options.lstFile, "--lst", "--json");
    }
    if (options.report) {
        RejectStandardOutput(options.logFile, "--log", "--report");
        RejectStandardOutput(options.lstFile, "--lst", "--report");
    }
    if (options.program.empty() && !options.report) {
        throw UsageError("no program: name a .sas file, - for standard input, or give -e TEXT (see tamberlo --help)");
    }
    return outcome;
}

}  // namespace tamberlo::cli
