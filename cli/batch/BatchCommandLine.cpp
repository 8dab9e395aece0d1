#include "cli/batch/BatchCommandLine.h"

#include "cli/CommandLineParser.h"
#include "cli/UsageError.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <filesystem>

namespace tamberlo::cli {
namespace {

constexpr const char* helpText =
    R"(Usage: tamberlo batch [OPTIONS] PROGRAM...

Runs many SAS programs, each as its own run, several at once, and reports on
all of them: a table on a terminal (otherwise a line per program as it ends),
and on request a JUnit and a JSON report.

Programs:
  PROGRAM             a .sas file, or a folder whose .sas files are run
  --recursive         also run the .sas files in the folders' subfolders
  -j, --jobs N        run at most N programs at once (default: the number of
                      processors)
  --shard K/N         run only the K-th of N parts of the sorted program list;
                      every program is in exactly one part. The report files
                      are named after the part (junit.xml: junit-2of3.xml)

SAS (for every program):
  --sas-root DIR      the folder of SAS
  --config FILE       the SAS configuration file
  --no-formchar       no formchar options statement ahead of the program
  --raw               the log and listing as SAS wrote them
  --timeout SECONDS   stop a program's SAS after SECONDS

Output:
  --out DIR           write <name>.log, <name>.lst and the put files
                      <name>/_PUT<n>.txt (as SAS wrote them) into DIR; a
                      program's name is its file name without .sas, with the
                      subfolder it was found in
  --junit FILE        write a JUnit report: a testcase per program
  --json FILE         write the same facts as one JSON object

  -h, --help          show this text and exit

Exit status: the highest over all programs of
  0   the log is clean
  1   the log has warning lines
  2   the log has error lines, or SAS ended with exit code 2 or more
  3   Tamberlo raised an error (a missing program file among them)
  4   the time limit of --timeout was reached
and 64 bad usage, 74 a report could not be written, 130 interrupted (Ctrl-C
stops every running SAS; the reports hold the programs that finished).
)";

bool ParseCount(std::string_view text, int& value) {
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(text.data(), last, value);
    return !text.empty() && ec == std::errc{} && end == last;
}

}  // namespace

std::string BatchCommandLine::HelpText() { return helpText; }

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

std::string BatchCommandLine::ReportFileName(const std::string& file, const std::optional<Shard>& shard) {
    if (!shard) return file;
    const std::filesystem::path path(file);
    const std::string suffix = "-" + std::to_string(shard->index) + "of" + std::to_string(shard->count);
    std::filesystem::path named = path;
    named.replace_filename(path.stem().string() + suffix + path.extension().string());
    return named.string();
}

BatchCommandLine::Outcome BatchCommandLine::Parse(int argc, const char* const* argv, unsigned defaultJobs) {
    Outcome outcome;
    BatchOptions& options = outcome.options;
    options.jobs = defaultJobs;

    CLI::App app{"", "tamberlo batch"};
    app.set_help_flag("-h,--help");

    std::string timeout;
    std::string shard;
    std::string outDir;
    std::string junitFile;
    std::string jsonFile;
    long long jobs = 0;

    app.add_option("PROGRAM", options.programs);
    app.add_flag("--recursive", options.recursive);
    CLI::Option* jobsOption = app.add_option("-j,--jobs", jobs);
    CLI::Option* shardOption = app.add_option("--shard", shard);
    app.add_option("--sas-root", options.sasRoot);
    app.add_option("--config", options.configFile);
    app.add_flag("--raw", options.raw);
    app.add_flag("--no-formchar", options.noFormChar);
    CLI::Option* timeoutOption = app.add_option("--timeout", timeout);
    CLI::Option* outOption = app.add_option("--out", outDir);
    CLI::Option* junitOption = app.add_option("--junit", junitFile);
    CLI::Option* jsonOption = app.add_option("--json", jsonFile);

    try {
        // CLI11 wants a mutable argv; it only reads it.
        app.parse(argc, const_cast<char**>(argv));
    } catch (const CLI::CallForHelp&) {
        outcome.showHelp = true;
        return outcome;
    } catch (const CLI::ParseError& error) {
        throw UsageError(OneLine(error.what()) + " (see tamberlo batch --help)");
    }

    // Far more than any machine runs SAS sessions at once; beyond it a typo.
    constexpr long long maximumJobs = 1024;
    if (jobsOption->count() > 0) {
        if (jobs < 1 || jobs > maximumJobs) throw UsageError("--jobs " + std::to_string(jobs) + ": expected 1 to 1024");
        options.jobs = static_cast<unsigned>(jobs);
    }
    if (shardOption->count() > 0) options.shard = ParseShard(shard);
    if (timeoutOption->count() > 0) options.timeout = CommandLineParser::ParseTimeout(timeout);
    const auto take = [](const CLI::Option* option, const std::string& value, const char* what,
                         std::optional<std::string>& into) {
        if (option->count() == 0) return;
        if (value.empty()) throw UsageError(std::string(option->get_name()) + ": expected " + what);
        into = value;
    };
    take(outOption, outDir, "a folder name", options.outDir);
    take(junitOption, junitFile, "a file name", options.junitFile);
    take(jsonOption, jsonFile, "a file name", options.jsonFile);
    if (options.programs.empty()) {
        throw UsageError("no program: name .sas files or folders (see tamberlo batch --help)");
    }
    return outcome;
}

}  // namespace tamberlo::cli
