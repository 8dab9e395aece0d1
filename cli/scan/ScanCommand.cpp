#include "cli/scan/ScanCommand.h"

#include "cli/base/CommandText.h"
#include "cli/base/Console.h"
#include "cli/base/ExitStatus.h"
#include "cli/findings/LogFindings.h"
#include "cli/findings/PreambleForms.h"
#include "cli/base/UsageError.h"
#include "cli/scan/LogSource.h"
#include "cli/batch/ProgramList.h"
#include "cli/reports/ReportSet.h"
#include "cli/batch/RunListAndReport.h"
#include "cli/base/ScratchFolder.h"
#include "engine/Engine.h"
#include "host/AsciiCase.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// The file of the same name as the log beside it with `extension` (in
// lower or upper case), when there is one.
std::optional<std::string> Beside(const std::string& log, const char* extension) {
    for (const bool upper : {false, true}) {
        const std::string name = upper ? AsciiUpper(extension) : std::string(extension);
        fs::path path = commandtext::ToPath(log);
        path.replace_extension(commandtext::ToPath(name));
        std::error_code ec;
        if (fs::is_regular_file(path, ec)) return commandtext::FromPath(path);
    }
    return std::nullopt;
}

// What every log's scan shares.
struct ScanSetup {
    LogRules rules;
    LogSource::Given encoding;  // --encoding
    bool cleaned = true;
    bool listings = false;  // the reports show listings
    // For the UTF-8 copies of UTF-16 files that the reports read; none: no
    // report.
    std::optional<std::string> scratch;
    mutable std::atomic<unsigned> copies{0};
};

// Reads the file through `source`, handing each block to `take`; with a
// scratch folder and a transcoded file, also into a UTF-8 copy there,
// whose name it returns (else the file's own name).
std::string ReadFor(LogSource& source, const std::string& file, const ScanSetup& setup, const StopSignal& stop,
                    const std::function<void(std::string_view)>& take) {
    if (!setup.scratch || !source.Transcoded()) {
        source.Read(take, &stop);
        return file;
    }
    const std::string copy = *setup.scratch + "/" + std::to_string(setup.copies++) + ".txt";
    std::ofstream out(commandtext::ToPath(copy), std::ios::binary);
    source.Read(
        [&](std::string_view text) {
            take(text);
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
        },
        &stop);
    out.close();
    if (!out) throw std::runtime_error(copy + ": cannot write");
    return copy;
}

// The listing beside the log for the reports (a UTF-8 copy of a UTF-16
// one); empty for none, and for one that is no text, which has no verdict
// to spoil.
std::string ListingFor(const std::string& log, const ScanSetup& setup, const StopSignal& stop) {
    const std::optional<std::string> listing = Beside(log, ".lst");
    if (!listing) return {};
    try {
        LogSource lst(*listing, setup.encoding);
        return lst.Transcoded() ? ReadFor(lst, *listing, setup, stop, [](std::string_view) {}) : *listing;
    } catch (const RunStopped&) {
        throw;
    } catch (const std::runtime_error&) {
        return {};
    }
}

std::optional<ProgramOutcome> ScanLog(const BatchProgram& log, const ScanSetup& setup, const StopSignal& stop) {
    const auto started = std::chrono::steady_clock::now();
    ProgramOutcome outcome;
    outcome.program = log;
    outcome.cleaned = setup.cleaned;
    try {
        if (!log.problem.empty()) throw std::runtime_error(log.problem);
        LogSource source(log.path, setup.encoding);
        const std::optional<std::string> program = Beside(log.path, ".sas");
        LogFindings findings(setup.rules, 0, &stop);
        // A log that Tamberlo's own run wrote (--out) has the lines it wrote
        // ahead of the program first: the program's lines come after them.
        if (program) findings.FindPreamble(PreambleForms::LeadingIn(*program));
        outcome.logFile = ReadFor(source, log.path, setup, stop, [&](std::string_view piece) { findings.Feed(piece); });
        findings.Finish();
        // A log still being written has grown since: the reports show what
        // was judged. A UTF-8 copy holds just that.
        if (!source.Transcoded()) outcome.logBytes = source.BytesRead();
        outcome.encoding = source.Encoding();
        outcome.logLines = findings.Counts();
        outcome.findings = findings.Findings();
        // Without SAS's exit code the lines alone decide.
        outcome.verdict = findings.VerdictFor(std::nullopt);
        if (program) {
            outcome.program.path = *program;
        } else {
            // The log itself is where its findings are.
            for (Finding& finding : outcome.findings) {
                if (finding.includedFile.empty()) finding.programLine = finding.logLine;
            }
        }
        if (setup.listings) outcome.lstFile = ListingFor(log.path, setup, stop);
    } catch (const RunStopped&) {
        return std::nullopt;
    } catch (const std::exception& error) {
        outcome.verdict = Verdict::TamberloError;
        outcome.problem = error.what();
    }
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return outcome;
}

int Run(const BatchOptions& options) {
    ScanSetup setup;
    if (options.encoding) {
        const std::optional<LogSource::Given> given = LogSource::Named(*options.encoding);
        if (!given) {
            throw UsageError("--encoding " + *options.encoding +
                             ": not an encoding Tamberlo knows (UTF-8, UTF-16LE, UTF-16BE, WLATIN1, LATIN1, "
                             "SHIFT-JIS, ...)");
        }
        setup.encoding = *given;
    }
    setup.rules = LogRules(options.ignore, options.failOn, options.strict);
    setup.cleaned = !options.raw;
    const BatchProgramList logs = CollectFiles(options.programs, options.recursive, LogFileKind);
    // Every report is refused before anything is created. The logs are gone
    // through again for each report instead of gathered: a long list is not
    // held twice.
    OutputNames names;
    if (ReportSet::Requested(options, options.jsonFile)) {
        names.AddInputs([&logs](const OutputNames::FileVisitor& take) {
            for (const BatchProgram& log : logs) {
                take("the log " + log.path, log.path);
                if (const auto program = Beside(log.path, ".sas")) take("the program " + *program, *program);
                if (const auto listing = Beside(log.path, ".lst")) take("the listing " + *listing, *listing);
            }
        });
    }
    ReportSet reports(options, options.jsonFile, options.shard, names);
    std::optional<ScratchFolder> scratch;
    if (!reports.Empty()) setup.scratch = scratch.emplace("tmpScan.").Path();
    setup.listings = reports.ShowsListings();

    BatchSummary summary;
    summary.suiteName = "tamberlo scan";
    summary.rules = setup.rules;
    summary.sourceRoot = options.sourceRoot;
    // The logs are the user's own files: the reports may point into them.
    summary.logsStay = true;
    const StopSignal& stop = console::Interrupts();
    return RunListAndReport(
        options, logs, [&setup, &stop](const BatchProgram& log) { return ScanLog(log, setup, stop); },
        std::move(summary), reports);
}

}  // namespace

int RunScanCommand(const BatchOptions& options) {
    return WithCommandErrors([&options] { return Run(options); });
}

}  // namespace tamberlo::cli
