#include "cli/scan/ScanCommandLine.h"

#include "cli/run/SessionOptions.h"
#include "cli/batch/BatchCommandLine.h"

#include <CLI/CLI.hpp>

namespace tamberlo::cli {
namespace {

constexpr const char* description =
    R"(Reads SAS logs that were written elsewhere (a scheduled job, a grid, a
colleague's run) without starting SAS, and reports on them as tamberlo batch
does: the same findings, rules, verdicts, table and reports. A log's program
is the .sas file of the same name beside it, when there is one (the findings'
lines are its lines; otherwise they are the log's), and a .lst file beside it
is its listing in the reports. SAS's exit code is not known: the verdicts come
from the log's lines alone.)";

constexpr const char* footer = R"(Exit status: the highest over all logs of
  0   the log is clean
  1   the log has warning lines
  2   the log has error lines
  3   a log is missing or cannot be read, or a folder cannot be read
and 64 bad usage, 74 a report could not be written, 130 interrupted (the
reports hold the logs read to their end).)";

constexpr const char* logsGroup = "Logs";

}  // namespace

const char* ScanCommandLine::Description() { return description; }

const char* ScanCommandLine::NoLog() { return "no log: name .log files or folders (see tamberlo scan --help)"; }

void ScanCommandLine::Declare(CLI::App& scan, BatchOptions& options) {
    scan.add_option("LOG", options.programs,
                    R"(a .log file, or a folder whose .log files are read;
* and ? in its last part are expanded, quoted or not)")
        ->option_text("LOG ...")
        ->group(logsGroup);
    scan.add_flag("--recursive", options.recursive, "also read the .log files in the folders' subfolders")
        ->group(logsGroup);
    CLI::Option* encoding = scan.add_option_function<std::string>(
        "--encoding", [&options](const std::string& name) { options.encoding = name; },
        R"(the encoding of logs without a byte-order mark
(UTF-8, UTF-16LE, UTF-16BE, WLATIN1, LATIN1,
SHIFT-JIS, ...); a mark says what its log is in, and
a log with a NUL in every other byte is UTF-16;
default: the platform's)");
    encoding->type_name("NAME")->group(logsGroup);
    Check(*encoding, NonEmptyName(), "the name of an encoding");
    scan.add_flag("--raw", options.raw, "the reports' logs and listings as SAS wrote them")->group("Output");
    DeclareLogRules(scan, options);
    DeclareAnnotations(scan, options);
    DeclareReportOptions(scan, options, "Output", &options.jsonFile);
    scan.footer(footer);
}

}  // namespace tamberlo::cli
