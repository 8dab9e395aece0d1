#pragma once

#include "DataStep.h"
#include "Filerefs.h"
#include "StatementReader.h"
#include "Stopwatch.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::standin {

class Listing;
class Log;
class Macros;

// Runs one program: echoes its lines to the log as their statements are
// processed, carries out the statements of the supported subset and reports
// everything else in the log the way SAS does, then goes on.
//
// Global statements (anywhere): OPTIONS (SOURCE2 and NOSOURCE2 switch the
// echo of included files, the rest is ignored), %INCLUDE 'file' (its
// statements run where it stands, nested up to ten levels; with SOURCE2 the
// log says "NOTE: %INCLUDE (level N) file F is file F.", echoes its lines
// numbered on with a "+" and ends with "NOTE: %INCLUDE (level N) ending."),
// TITLE/TITLEn, FILENAME, %PUT and %LET (macro references resolved), ENDSAS,
// RUN, QUIT, "* ...;" and "%* ...;" comments. PUT resolves the references in
// its double-quoted strings.
// Steps: DATA _NULL_ with FILE, PUT, CALL SLEEP and ABORT inside; PROC steps
// are reported as unknown procedures and skipped to their end. An ABORT that
// a step runs into ends the whole run there, as ENDSAS does.
class Session {
public:
    Session(Log& log, Listing& listing, Macros& macros, bool source2 = false);

    // Runs the program to its end, or to ENDSAS (after which nothing more is
    // echoed or run). A step still open at the end is run then. Without
    // `echo` its lines are not shown in the log (an autoexec file); a later
    // Run keeps the filerefs, titles and macro variables.
    void Run(std::string_view program, bool echo = true);

    // Set when an ABORT statement ended the run: the exit code it asks for.
    std::optional<int> AbortCode() const { return abortCode_; }

private:
    enum class Step { None, Data, Proc };

    // False when the program is to stop here (ENDSAS).
    bool Process(const Statement& statement);

    // Echoes the statement's lines (and any unechoed ones before them).
    void Accept(const Statement& statement);
    // Echoes through the line of `at`, underlines `at` with `code`, echoes
    // the rest of the statement and writes `message` as an ERROR line.
    void Reject(const Statement& statement, const Token& at, int code, std::string_view message);
    void RejectStatement(const Statement& statement);
    void EchoThrough(int line);

    // Ends the open step: runs a data step, closes a skipped proc step.
    void FinishStep();

    void BeginData(const Statement& statement);
    void BeginProc(const Statement& statement);
    // True if the statement was a global one (handled, accepted or not).
    bool Global(const Statement& statement, const std::string& keyword);
    void Title(const Statement& statement, int number);
    void Filename(const Statement& statement);
    void MacroPut(const Statement& statement);
    void Options(const Statement& statement);
    void Include(const Statement& statement);
    // Runs the statements of `text`, whose lines are lines_; false when
    // ENDSAS or an ABORT ended the run.
    bool RunStatements(std::string_view text);
    // FILE, PUT and CALL inside a data step; anything else is rejected.
    void StepStatement(const Statement& statement, const std::string& keyword);
    void File(const Statement& statement);
    void Put(const Statement& statement);
    void Call(const Statement& statement);
    void Abort(const Statement& statement);

    Log& log_;
    Listing& listing_;
    Macros& macros_;
    bool echo_ = true;
    Filerefs filerefs_;
    std::vector<std::string> lines_;  // of the program, or of the file being included
    int echoed_ = 0;                  // of lines_
    int logNumber_ = 0;               // the last number the log gave an echoed line
    bool source2_;
    int includeLevel_ = 0;
    bool ended_ = false;  // ENDSAS or ABORT in an included file

    Step step_ = Step::None;
    std::optional<DataStep> data_;
    std::string procName_;
    std::optional<Stopwatch> procClock_;
    std::optional<int> abortCode_;
};

}  // namespace tamberlo::standin
