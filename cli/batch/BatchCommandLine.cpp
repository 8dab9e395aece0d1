#include "cli/batch/BatchCommandLine.h"

#include "cli/run/SessionOptions.h"
#include "cli/batch/SchedulerShard.h"
#include "cli/base/UsageError.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>

#include "cli/base/CommandText.h"

namespace tamberlo::cli {
namespace {

constexpr const char* description =
    R"(Runs many SAS programs, each as its own run, several at once, and reports on
all of them: a table on a terminal (otherwise a line per program as it ends),
and on request a JUnit, a JSON, an HTML, a SARIF and a Code Quality report.)";

constexpr const char* footer = R"(Exit status: the highest over all programs of
  0   the log is clean
  1   the log has warning lines
  2   the log has error lines, or SAS ended with exit code 2 or more
  3   Tamberlo raised an error (a missing program file or a folder that
      cannot be read among them)
  4   the time limit of --timeout was reached
and 64 bad usage, 74 a report or the table on standard output could not be
written, 130 interrupted (Ctrl-C stops every running SAS; the reports hold
the programs that finished).)";

constexpr const char* programsGroup = "Programs";
constexpr const char* outputGroup = "Output";

constexpr SessionWording batchWording{"SAS (for every program)", "SAS (for every program)",
                                      "the reports' logs and listings as SAS wrote them",
                                      R"(stop a program's SAS after SECONDS (fractions
allowed); SAS is asked to end and, should it not,
killed 5 seconds later)"};

// Far more than any machine runs SAS sessions at once; beyond it a typo.
constexpr int maximumJobs = 1024;

bool ParseCount(std::string_view text, int& value) {
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, value);
    return !text.empty() && ec == std::errc{} && end == last;
}

void AddReport(CLI::App& batch, const char* name, std::optional<std::string>& into, const char* typeName,
               const char* expected, const char* help) {
    CLI::Option* option = batch.add_option_function<std::string>(
        name, [&into](const std::string& value) { into = value; }, help);
    option->type_name(typeName)->group(outputGroup);
    Check(*option, NonEmptyName(), expected);
}

}  // namespace

const char* BatchCommandLine::Description() { return description; }

const char* BatchCommandLine::NoProgram() {
    return "no program: name .sas files or folders (see tamberlo batch --help)";
}

void BatchCommandLine::Declare(CLI::App& batch, BatchOptions& options, unsigned defaultJobs) {
    options.jobs = defaultJobs;
    batch.add_option("PROGRAM", options.programs, "a .sas file, or a folder whose .sas files are run")
        ->option_text("PROGRAM ...")
        ->group(programsGroup);
    batch.add_flag("--recursive", options.recursive, "also run the .sas files in the folders' subfolders")
        ->group(programsGroup);
    CLI::Option* jobs =
        batch.add_option("-j,--jobs", options.jobs, R"(run at most N programs at once (default: the number of
processors))");
    jobs->type_name("N")->group(programsGroup);
    Check(*jobs, CLI::Range(1, maximumJobs), "1 to " + std::to_string(maximumJobs));
    batch
        .add_option_function<std::string>(
            "--shard",
            [&options](const std::string& text) {
                if (text != "auto" && text.rfind("auto/", 0) != 0) {
                    options.shard = ParseShard(text);
                    return;
                }
                std::optional<int> count;
                if (text != "auto") {
                    int value = 0;
                    if (!ParseCount(text.substr(5), value) || value < 1) {
                        throw UsageError("--shard " + text + ": expected auto or auto/N with N >= 1");
                    }
                    count = value;
                }
                const SchedulerShard::Found found = SchedulerShard::FromEnvironment(count);
                options.shard = found.shard;
                options.shardFrom = found.from;
            },
            R"(run only the K-th of N parts of the sorted program list;
every program is in exactly one part. The report files
are named after the part (junit.xml: junit-2of3.xml).
auto: K and N of this task of a job array, from Slurm,
LSF, a Kubernetes indexed Job (auto/N) or GitLab CI)")
        ->type_name("K/N")
        ->group(programsGroup);

    CLI::Option* matrix = batch.add_option_function<std::string>(
        "--matrix", [&options](const std::string& file) { options.matrixFile = file; },
        R"(run every program once per row of a CSV table: its
header names the row names' column, then sysparm,
set:NAME and let:NAME; a run is <program>[<row>],
with the row's values (a row's value wins over
--sysparm, --set and --let of the same name) and
its --out files in DIR/<row>/; --shard splits the
runs)");
    matrix->type_name("FILE")->group(programsGroup);
    Check(*matrix, NonEmptyName(), "a file name");

    DeclareSessionOptions(batch, options, batchWording);

    AddReport(batch, "--out", options.outDir, "DIR", "a folder name", R"(write <name>.log, <name>.lst and the put files
<name>/_PUT<n>.txt (exactly as SAS wrote them, whatever
--raw says) into DIR; a program's name is its file name
without .sas, with the subfolder it was found in)");
    DeclareReportOptions(batch, options, outputGroup, &options.jsonFile);
    batch.footer(footer);
}

Shard BatchCommandLine::ParseShard(std::string_view text) {
    const std::size_t slash = text.find('/');
    Shard shard;
    if (slash == std::string_view::npos || !ParseCount(text.substr(0, slash), shard.index) ||
        !ParseCount(text.substr(slash + 1), shard.count) || shard.count < 1 || shard.index < 1 ||
        shard.index > shard.count) {
        throw UsageError("--shard " + std::string(text) + ": expected K/N with 1 <= K <= N");
    }
    return shard;
}

}  // namespace tamberlo::cli
