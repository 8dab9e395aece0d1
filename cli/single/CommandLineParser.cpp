#include "cli/single/CommandLineParser.h"

#include "cli/base/HelpFormatter.h"
#include "cli/base/UsageError.h"
#include "cli/run/SessionOptions.h"
#include "cli/run/RemoteOptions.h"
#include "cli/batch/BatchCommandLine.h"
#include "cli/scan/ScanCommandLine.h"

#include <CLI/CLI.hpp>

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

// What becomes of SAS's console differs with the SAS the build drives.
#ifdef _WIN32
constexpr const char* consoleHelp = "";
#else
constexpr const char* consoleHelp = R"(
What SAS writes to its own standard output and error (why it did not start,
say) is kept apart. When SAS wrote no log or ended with a non-zero exit code,
its last lines are shown on standard error and --json carries it as "console".
)";
#endif

constexpr const char* footerOutputs =
    R"(With --report or --json the log and listing are printed only to files named
by --log and --lst. Put files are shown by --put-dir, --json and --report.

tamberlo remote-side is a remote run's end on the remote host, started there
through ssh; it is not for direct use.
)";

constexpr const char* remoteSideDescription =
    R"(The remote host's end of a remote run: started by --remote through ssh, it
speaks the remote protocol on standard input and output. Not for direct use.)";

constexpr const char* remoteSideFooter = R"(Exit status:
  0   the run was made and its results sent
  3   the protocol asked is not this one's, the request was refused (the
      reason went to the other side in an ERROR message), or the run
      failed (the answer says why)
  4   the time limit of --timeout was reached
  64  the run's options are ones a single run refuses
  74  a file sent with the run could not be written
  130 the other side went: SAS was stopped and nothing was left behind)";

constexpr const char* footerStatuses = R"(
Exit status:
  0   the run went through and SAS ended with code 0 (with --check: and
      the log is clean); a code other than 0 is shown on standard error as
      "tamberlo: SAS ended with exit code N" (not with --json)
  1   SAS ended with code 1; --check: or the log has warning lines but no
      error lines
  2   SAS ended with code 2 or more; --check: or the log has error lines
  3   Tamberlo raised an error ("tamberlo: <source>: <description>"), or the
      program was empty
  4   the time limit of --timeout was reached
  64  bad usage: an unknown option, a bad value, a missing program file, an
      output file that cannot be created
  74  an output could not be written after the run, or a file not read for
      a reason of the system's (no descriptor left, a failing device)
  130 interrupted (Ctrl-C): SAS was stopped and nothing was left behind

Examples:
  tamberlo report.sas > report.lst 2> report.log
  tamberlo --sysparm S012 --let "cutoff=30JUN2026" --set REGION=north report.sas
  tamberlo --check --put-dir out -e "data _null_; file _put1; put 'hello'; run;"
  echo "data _null_; file print; put 'hello'; run;" | tamberlo --json -)";

constexpr SessionWording singleRunWording{"SAS", "Output",
                                          R"(texts as SAS wrote them; otherwise control characters
other than line breaks show as % and their code (%12))",
                                          R"(stop SAS after SECONDS (fractions allowed), exit with
4 and leave no temporary file behind; SAS is asked to
end and, should it not, killed 5 seconds later)"};

void RejectStandardOutput(const std::optional<std::string>& destination, const char* option, const char* mode) {
    if (destination && *destination == SingleRunOptions::StandardStream) {
        throw UsageError(std::string(option) + " -: standard output carries the output of " + mode);
    }
}

// A file or folder name option of the single run, stored when given.
CLI::Option* AddName(CLI::App& app, const char* name, std::optional<std::string>& into, const char* typeName,
                     const char* expected, const std::string& help) {
    CLI::Option* option = app.add_option_function<std::string>(
        name, [&into](const std::string& value) { into = value; }, help);
    option->type_name(typeName)->group("Output");
    Check(*option, NonEmptyName(), expected);
    return option;
}

// Both forms declared on one CLI11 app, bound to an Outcome; the single
// run's PROGRAM and -e values are kept here until their order is known.
class Declarations {
public:
    Declarations(CommandLineParser::Outcome& outcome, unsigned defaultJobs) {
        SingleRunOptions& options = outcome.options;
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
        DeclareSessionOptions(app, options, singleRunWording);
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
        CLI::Option* report =
            app.add_flag("--report", options.report, R"(print the debug report on standard output instead of
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
        DeclareRemoteOptions(app, options.remote);
        DeclareReportOptions(app, options, "Reports (of the run as a batch of one program)");
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
        scan = app.add_subcommand("scan", ScanCommandLine::Description());
        scan->group("");
        ScanCommandLine::Declare(*scan, outcome.batch);
        DeclareHelp(*scan);
        remoteSide = app.add_subcommand("remote-side", remoteSideDescription);
        remoteSide->group("");
        CLI::Option* protocol =
            remoteSide->add_option("--protocol", outcome.protocol, "the protocol the other side speaks");
        protocol->type_name("N")->required();
        Check(*protocol, CLI::NonNegativeNumber, "a protocol number");
        remoteSide->footer(remoteSideFooter);
        DeclareHelp(*remoteSide);
    }

    // The app of a form.
    const CLI::App& Of(CommandLineParser::Form form) const {
        return form == CommandLineParser::Form::Single ? app : form == CommandLineParser::Form::Batch ? *batch : *scan;
    }

    CLI::App app{description, "tamberlo"};
    CLI::App* batch = nullptr;
    CLI::App* scan = nullptr;
    CLI::App* remoteSide = nullptr;
    CLI::Option* files = nullptr;
    CLI::Option* texts = nullptr;
    std::vector<std::string> fileValues;
    std::vector<std::string> textValues;

private:
    // Last, so that the help lists it last. Help and version answer as
    // soon as they are met, ahead of any fault in the other arguments.
    static void DeclareHelp(CLI::App& app) {
        app.set_help_flag();
        app.add_flag_callback(
               "-h,--help", [] { throw CLI::CallForHelp(); }, "show this text and exit")
            ->group(HelpFormatter::Untitled)
            ->configurable(false)
            ->trigger_on_parse();
    }
};

// The single run's program, in command-line order: CLI11 records one entry
// per value taken, and the two lists are consumed in that same order.
void TakeProgram(const Declarations& declared, SingleRunOptions& options) {
    std::size_t nextFile = 0;
    std::size_t nextText = 0;
    bool standardInputSeen = false;
    for (const CLI::Option* option : declared.app.parse_order()) {
        if (option == declared.files) {
            const std::string& file = declared.fileValues.at(nextFile++);
            if (file == SingleRunOptions::StandardStream) {
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

std::string CommandLineParser::HelpText(Form form) {
    Outcome outcome;
    const Declarations declared(outcome, 1);
    return form == Form::Single ? declared.app.help() : declared.Of(form).help("tamberlo");
}

std::vector<std::string> CommandLineParser::OptionNames(Form form) {
    Outcome outcome;
    const Declarations declared(outcome, 1);
    const CLI::App& app = declared.Of(form);
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        names.push_back(HelpFormatter::Names(*option) + HelpFormatter::ValueName(*option));
    }
    return names;
}

std::string CommandLineParser::VersionText() { return std::string("tamberlo ") + TAMBERLO_VERSION + "\n"; }

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
        if (declared.scan->parsed()) throw UsageError(OneLine(error.what()) + " (see tamberlo scan --help)");
        if (declared.remoteSide->parsed()) {
            throw UsageError(OneLine(error.what()) + " (see tamberlo remote-side --help)");
        }
        throw UsageError(OneLine(error.what()) + " (see tamberlo --help)");
    }

    // The forms that take a list of files, each its own subcommand.
    const struct {
        CLI::App* app;
        const char* name;
        const char* noFile;
        Action action;
    } listForms[] = {{declared.batch, "batch", BatchCommandLine::NoProgram(), Action::RunBatch},
                     {declared.scan, "scan", ScanCommandLine::NoLog(), Action::RunScan}};
    for (const auto& form : listForms) {
        if (!form.app->parsed()) continue;
        // Arguments of the single run before the form's name would be lost on it.
        if (!declared.app.parse_order().empty()) {
            throw UsageError(std::string(form.name) + ": must be the first argument (see tamberlo " + form.name +
                             " --help)");
        }
        if (outcome.batch.programs.empty()) throw UsageError(form.noFile);
        CheckLogRules(outcome.batch);
        outcome.action = form.action;
        return outcome;
    }

    if (declared.remoteSide->parsed()) {
        if (!declared.app.parse_order().empty()) {
            throw UsageError("remote-side: must be the first argument (see tamberlo remote-side --help)");
        }
        outcome.action = Action::RunRemoteSide;
        return outcome;
    }

    SingleRunOptions& options = outcome.options;
    TakeProgram(declared, options);
    CheckLogRules(options);
    FinishRemoteOptions(options.remote);
    if (options.remote.Wanted() && options.report)
        throw UsageError("--report: the debug report is of a local CodeRunner, not for a remote run");
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
