#pragma once

#include "cli/findings/LogFindings.h"
#include "cli/findings/LogLineClassifier.h"
#include "cli/findings/Verdict.h"
#include "cli/findings/FindingStore.h"
#include "cli/run/BatchProgram.h"
#include "cli/run/SasOutput.h"
#include "host/SessionEncoding.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {
class Error;
class StopSignal;
}  // namespace tamberlo

namespace tamberlo::cli {

// What one run of a program came to, the single run's or a batch program's:
// its summary, all that a batch keeps in memory per program. The log and
// listing stay on disk, and so do the kept findings once StoreFindings has
// put them there.
struct ProgramOutcome {
    using Verdict = cli::Verdict;

    BatchProgram program;
    Verdict verdict = Verdict::Clean;
    std::optional<int> sasExitCode;  // none when SAS did not end by itself
    LogLineClassifier::Counts logLines;
    // Those kept (LogFindings::KeptPerKind of each kind), in log order, while
    // they are in memory; KeptFindings has them wherever they are.
    std::vector<Finding> findings;
    std::string problem;  // the Tamberlo error or the time limit, as one line
    // The first line that is not blank of what SAS wrote on its console
    // (POSIX), at most 1 KiB, as written: why a SAS that wrote no log did
    // not start. Empty: it wrote nothing there.
    std::string consoleLine;
    std::string logFile;  // the log as SAS wrote it; empty: none
    // The log's first bytes that were judged: a log still being written
    // has grown since, and the reports show what the verdict came from.
    // None: the whole file.
    std::optional<std::uint64_t> logBytes;
    std::string lstFile;  // the listing as SAS wrote it; empty: none
    // The reports show the log and listing cleaned (a control character as
    // "%<code>"), as the command shows them without --raw.
    bool cleaned = false;
    double seconds = 0;
    // Of the log, the listing and the findings' texts: the run's session.
    SessionEncoding encoding = SessionEncoding::PlatformDefault();

    // Judges what a session gave back, however the program ran: SAS's exit
    // code, the console's line, the log's counts and kept findings by
    // `rules`, the verdict (LogFindings::VerdictFor) and the encoding. A
    // status other than "OK" (SAS did not run: an empty program) makes the
    // verdict TamberloError with the status as the problem. `stop` is looked
    // at as LogFindings::Scan looks at it (RunStopped).
    void Judge(const SasOutput& output, const LogRules& rules, const StopSignal* stop);
    // A run that `error` ended: TimeLimit for TimeLimitReached, NotRun for
    // RunStopped, else TamberloError; "<source>: <description>" the problem,
    // the system's detail after the description when it has one.
    void Fail(const Error& error);

    // Moves `findings` into `store`; they stay in memory when the store
    // cannot take them.
    void StoreFindings(const std::shared_ptr<FindingStore>& store);
    // The kept findings, read back from the store when they went there.
    // Throws std::runtime_error when they cannot be read back.
    std::vector<Finding> KeptFindings() const;
    // Where StoreFindings put them, for an outcome that goes to disk itself
    // (OutcomeStore): none while they are in `findings`. FindingsIn gives an
    // outcome read back from there its findings again.
    struct StoredFindings {
        FindingStore::Place place;
        bool anError = false;
    };
    std::optional<StoredFindings> Stored() const;
    void FindingsIn(std::shared_ptr<const FindingStore> store, const StoredFindings& stored);

    // The first few error findings' texts, as SAS wrote them.
    std::vector<std::string> FirstErrorLines() const;
    // SAS failed (or warned) and no kept finding says why: an exit code
    // alone, a crash, a SAS that did not start.
    bool UnexplainedByFindings() const;
    // What says why then, as one line: "SAS exit code N" ("none" when SAS
    // did not end by itself), after the console's line when there is one:
    // "ERROR: Unrecognized SAS option name, STIMERR. (SAS exit code 2)".
    std::string ExitCodeProblem() const;
    // `console`'s first line that is not blank, its line end and trailing
    // blanks left out, cut to 1 KiB (never inside a UTF-8 character).
    static std::string ConsoleLine(std::string_view console);
    // Where a person looks first, as editors and CI pages link it:
    // "progs/report.sas:12: ERROR 180-322: ..." (without ":12" when the log
    // names no program line; a run of a table's row adds " (row <row>)"),
    // "name: <problem>", or "name: " and ExitCodeProblem().
    std::string FirstProblemLine() const;
    // The same in UTF-8 for the reports: names, paths and the problem from
    // the host's code page, a finding's text from the session encoding.
    std::string FirstProblemLineUtf8() const;

private:
    std::shared_ptr<const FindingStore> store_;  // where `findings` went; none: in memory
    FindingStore::Place storedAt_;
    // Whether one of the stored findings is an error: UnexplainedByFindings
    // is asked while the batch runs and need not read them back for it.
    bool storedAnError_ = false;
};

}  // namespace tamberlo::cli
