#include "cli/CommandLineParser.h"

#include "cli/UsageError.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstddef>

#ifndef TAMBERLO_VERSION
#define TAMBERLO_VERSION "unknown"
#endif

namespace tamberlo::cli {
namespace {

constexpr const char* helpText =
    R"(Usage: tamberlo [OPTIONS] [PROGRAM ...]

Runs one SAS program in batch through Tamberlo and shows what came back: the
listing on standard output, the log on standard error. The program is made of
the PROGRAM arguments and -e texts, joined in the order they are given.

Program:
  PROGRAM             a program file. A name ending in .sas (in any case) is
                      appended exactly as stored; any other file is read and
                      appended as program text, followed by a line break.
  -                   standard input, read as it is and appended as text
  -e, --code TEXT     one line of program text (may be repeated)

SAS:
%SAS_LOCATION%  --no-formchar       no formchar options statement ahead of the program
  --timeout SECONDS   stop SAS after SECONDS (0.5 is fine), exit with 4 and
                      leave no temporary file behind

Output:
  --log FILE          where the log goes (default: standard error; - for
                      standard output)
  --lst FILE          where the listing goes (default: standard output)
  --raw               texts as SAS wrote them; otherwise control characters
                      other than line breaks show as % and their code (%12)
  --put-dir DIR       copy every put file, byte for byte as SAS wrote it, to
                      DIR/<key>.txt (_PUT1.txt, ...); DIR is created when
                      missing
  --follow            show the log on standard error while SAS writes it (as
                      written, uncleaned); with the default log destination
                      it is then not printed again at the end
  --report            print the debug report on standard output instead of
                      the listing; without a program, that of a fresh object
  --json              print one JSON object on standard output instead:
                      status, log, listing, putFiles (key, path, text), the
                      counts errorLines and warningLines and sasExitCode; on
                      failure an object with "error" (number, source,
                      description)
  --check             exit like SAS: 1 if the log has warning lines or SAS
                      ended with code 1, 2 if it has error lines (lines that
                      start with ERROR: or ERROR 180-322:, WARNING: or
                      WARNING 1-322: and alike) or SAS ended with code 2 or
                      more

  -h, --help          show this text and exit
  --version           show the version and exit

With --report or --json the log and listing are printed only to files named
by --log and --lst. Put files are shown by --put-dir, --json and --report.
%CONSOLE%
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
  echo "data _null_; file print; put 'hello'; run;" | tamberlo --json -
)";

void RejectStandardOutput(const std::optional<std::string>& destination, const char* option, const char* mode) {
    if (destination && *destination == CliOptions::StandardStream) {
        throw UsageError(std::string(option) + " -: standard output carries the output of " + mode);
    }
}

// Where SAS is found differs with the SAS the build drives.
#ifdef _WIN32
constexpr const char* sasLocationHelp =
    R"(  --sas-root DIR      the folder of SAS.EXE (default: the standard installation
                      folder, searched on drives C to Z)
  --config FILE       the SAS configuration file (default: sasv8.cfg beside
                      SAS.EXE)
)";
constexpr const char* consoleHelp = "";
#else
constexpr const char* sasLocationHelp =
    R"(  --sas-root DIR      the folder of sas (default: the folder of the sas on PATH,
                      links resolved, else the first of
                      /usr/local/SASHome/SASFoundation/9.4/,
                      /opt/sas/SASHome/SASFoundation/9.4/ and
                      /opt/SASHome/SASFoundation/9.4/ that holds sas)
  --config FILE       the SAS configuration file (default: sasv9.cfg beside
                      sas)
)";
constexpr const char* consoleHelp = R"(
What SAS writes to its own standard output and error (why it did not start,
say) is kept apart. When SAS wrote no log or ended with a non-zero exit code,
its last lines are shown on standard error and --json carries it as "console".
)";
#endif

std::string Replaced(std::string text, const std::string& placeholder, const std::string& replacement) {
    text.replace(text.find(placeholder), placeholder.size(), replacement);
    return text;
}

}  // namespace

std::string CommandLineParser::HelpText() {
    return Replaced(Replaced(helpText, "%SAS_LOCATION%", sasLocationHelp), "%CONSOLE%", consoleHelp);
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

CommandLineParser::Outcome CommandLineParser::Parse(int argc, const char* const* argv) {
    Outcome outcome;
    CliOptions& options = outcome.options;

    CLI::App app{"", "tamberlo"};
    app.set_help_flag("-h,--help");
    app.set_version_flag("--version", VersionText());

    std::vector<std::string> files;
    std::vector<std::string> texts;
    std::string timeout;
    std::string logFile;
    std::string lstFile;
    std::string putDir;

    CLI::Option* filesOption = app.add_option("PROGRAM", files);
    CLI::Option* textsOption = app.add_option("-e,--code", texts)->allow_extra_args(false);
    app.add_option("--sas-root", options.sasRoot);
    app.add_option("--config", options.configFile);
    app.add_flag("--raw", options.raw);
    app.add_flag("--no-formchar", options.noFormChar);
    CLI::Option* logOption = app.add_option("--log", logFile);
    CLI::Option* lstOption = app.add_option("--lst", lstFile);
    CLI::Option* putDirOption = app.add_option("--put-dir", putDir);
    CLI::Option* reportOption = app.add_flag("--report", options.report);
    CLI::Option* jsonOption = app.add_flag("--json", options.json);
    app.add_flag("--check", options.check);
    CLI::Option* timeoutOption = app.add_option("--timeout", timeout);
    app.add_flag("--follow", options.follow);
    jsonOption->excludes(reportOption);

    try {
        // CLI11 wants a mutable argv; it only reads it.
        app.parse(argc, const_cast<char**>(argv));
    } catch (const CLI::CallForHelp&) {
        outcome.action = Action::ShowHelp;
        return outcome;
    } catch (const CLI::CallForVersion&) {
        outcome.action = Action::ShowVersion;
        return outcome;
    } catch (const CLI::ParseError& error) {
        throw UsageError(OneLine(error.what()) + " (see tamberlo --help)");
    }

    // CLI11 records one entry per value taken, in command-line order; the
    // two lists are consumed in that same order.
    std::size_t nextFile = 0;
    std::size_t nextText = 0;
    bool standardInputSeen = false;
    for (const CLI::Option* option : app.parse_order()) {
        if (option == filesOption) {
            const std::string& file = files.at(nextFile++);
            if (file == CliOptions::StandardStream) {
                if (standardInputSeen) throw UsageError("-: standard input can be named only once");
                standardInputSeen = true;
                options.program.push_back({ProgramPiece::Kind::StandardInput, {}});
            } else {
                options.program.push_back({ProgramPiece::Kind::File, file});
            }
        } else if (option == textsOption) {
            options.program.push_back({ProgramPiece::Kind::Text, texts.at(nextText++)});
        }
    }

    if (logOption->count() > 0) options.logFile = logFile;
    if (lstOption->count() > 0) options.lstFile = lstFile;
    if (putDirOption->count() > 0) {
        if (putDir.empty()) throw UsageError("--put-dir: expected a folder name");
        options.putDir = putDir;
    }
    if (logOption->count() > 0 && logFile.empty()) throw UsageError("--log: expected a file name or -");
    if (lstOption->count() > 0 && lstFile.empty()) throw UsageError("--lst: expected a file name or -");
    if (timeoutOption->count() > 0) options.timeout = ParseTimeout(timeout);

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
