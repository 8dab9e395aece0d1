#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/base/ExitStatus.h"
#include "cli/single/SingleRun.h"
#include "cli/single/SingleRunReports.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace tamberlo {
class Error;
}

namespace tamberlo::cli {

// Shows what a run got back where the options ask for it, and decides the
// exit status.
//
// Plain mode: the log to standard error (or --log), the listing to standard
// output (or --lst). With --follow and the default log destination the log
// was already shown while SAS ran and is not printed again. With --json or
// --report standard output carries that one document, and the log and the
// listing go only to files named by --log and --lst. --put-dir gets one file
// per put file in every mode. The reports (--junit, --html, --sarif,
// --codequality) are written after the run, whatever the mode.
class ResultPrinter {
public:
    ResultPrinter(const SingleRunOptions& options, std::FILE* out, std::FILE* err) noexcept;

    // Creates (or empties) the files named by --log and --lst and creates the
    // --put-dir folder and the reports, before anything runs. Throws
    // UsageError naming the file or folder that cannot be made, or two
    // outputs, or an output and a program file, that are the same file.
    void OpenDestinations();

    // Prints the result; the exit status follows from the status string and,
    // with --check, from the log's error and warning lines. A status other
    // than "OK" is also reported on standard error as "tamberlo: <status>".
    ExitStatus PrintRun(const SingleRunResult& result);

    // Reports an error raised by Tamberlo: what SAS had written by then
    // (`partial`'s log and listing: a stopped run's) where PrintRun would
    // put them, then "tamberlo: <source>: <description>" on standard error;
    // with --json an object {"error": {number, source, description}, "log",
    // "lst"} on standard output. TimeLimitReached gives the status for the
    // time limit, RunStopped Interrupted, every other Error TamberloError.
    ExitStatus PrintError(const Error& error, const SingleRunResult& partial = {});

private:
    struct FileCloser {
        void operator()(std::FILE* file) const noexcept { std::fclose(file); }
    };
    using File = std::unique_ptr<std::FILE, FileCloser>;

    ExitStatus ShowRun(const SingleRunResult& result);
    ExitStatus ShowError(const Error& error, const SingleRunResult& partial);
    // `status`, or OutputFailed when a report could not be written.
    ExitStatus WithReports(ExitStatus status, const SingleRunResult& result, const Error* error);

    // Throws the path of a failed write as a std::runtime_error message.
    void Write(std::FILE* to, const std::string& text, const std::string& name);
    void WritePutFiles(const SingleRunResult& result);
    std::FILE* LogDestination() const noexcept;
    std::FILE* LstDestination() const noexcept;

    const SingleRunOptions& options_;
    std::FILE* out_;
    std::FILE* err_;
    File logFile_;
    File lstFile_;
    std::optional<SingleRunReports> reports_;
};

}  // namespace tamberlo::cli
