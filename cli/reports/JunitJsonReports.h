#pragma once

#include "cli/findings/LogRules.h"
#include "cli/run/BatchOptions.h"
#include "cli/run/OutcomeSequence.h"
#include "cli/run/ProgramOutcome.h"
#include "engine/RunSettings.h"

#include <ostream>
#include <string>
#include <vector>

namespace tamberlo::cli {

// The facts of a finished batch, as the report files show them.
struct BatchSummary {
    std::string suiteName;  // "tamberlo batch", with the shard: "tamberlo batch 2/3"
    std::string shard;      // "2/3", or empty
    std::string timestamp;  // when the batch started, UTC: "2026-12-07T23:46:17"
    std::string hostName;
    std::size_t programs = 0;  // listed, finished or not
    bool interrupted = false;
    std::size_t notRun = 0;  // of the programs, those that did not finish
    double seconds = 0;
    int exitStatus = 0;
    RunSettings parameters;  // every program's
    LogRules rules;          // what counted in the logs: the reports describe its rules
    std::string sourceRoot;  // --source-root as given; empty: the current folder
    bool logsStay = false;   // the programs' log files stay (--out): reports may point into them
};

// Now in UTC as the reports give it: "2026-12-07T23:46:17".
std::string UtcTimestamp();

// A finding as one line, in the form editors and CI pages turn into links:
// "progs/report.sas:12: ERROR 180-322: ..." ("progs/report.sas: ..." when the
// log names no program line), then " (log line 40)" with `logLine`; in
// UTF-8, the text decoded from the run's session encoding.
std::string FindingLine(const ProgramOutcome& outcome, const Finding& finding, bool logLine);

// The reports below are streamed: each program's log is read from its file
// piece by piece, so memory does not grow with the number of programs or
// the size of their logs. Texts are UTF-8 and always well-formed. A log is
// embedded up to report_text::ShownBytes (256 KiB), cut after a whole line
// (within a very long line, between two characters); a longer one ends in a
// line of its own, "[The log is cut here: the first 256 KiB of <size> KiB are
// shown; the whole log: <file>]" (with "--out keeps the whole log" in
// place of the file when the logs do not stay).

// A JUnit XML report as CI servers read it: one testsuite, a testcase per
// program (its name, "tamberlo" as class name, the time in seconds and the
// log in system-out); <failure> for a failed program, with its first ERROR
// lines and their places as the message and every finding in the body,
// <error> for a Tamberlo error or a time limit, <skipped> for a program that
// an interrupt kept from finishing; the parameters and the interruption (the
// property "interrupted" says how many did not finish) as the suite's
// properties (RunParameters.h names the parameters). Only elements and
// attributes that the common JUnit schemas know, so that strict readers
// take it too.
void WriteJUnitReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes);

// The same facts as one JSON object: the summary and "programs", one object
// per program (name, file, parameters, verdict, exitStatus, sasExitCode or null,
// errorLines, warningLines, firstErrorLines, findings (kind, logLine,
// programLine or null, text, rule, and includedFile for a finding in an
// included file), problem, seconds, log).
void WriteJsonReport(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes);

}  // namespace tamberlo::cli
