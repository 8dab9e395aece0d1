#pragma once

#include "Stopwatch.h"

#include <optional>
#include <string>
#include <vector>

namespace tamberlo::standin {

class Filerefs;
class Listing;
class Log;

// One DATA _NULL_ step: its executable statements collected while the step
// is read, then run once (_N_ = 1) when the step ends. A step in which any
// statement was rejected, or whose FILE statements name an unknown fileref,
// runs nothing.
class DataStep {
public:
    struct Destination {
        enum class Kind { Log, Print, Fileref, Path };
        Kind kind = Kind::Log;
        std::string name;     // Fileref: the upper-case name; Path: the path
        bool append = false;  // MOD on the FILE statement
    };

    // The clock of the step's timing note starts here.
    DataStep();

    // The step will not run; its end still writes the step notes.
    void Fail() { failed_ = true; }
    bool Failed() const { return failed_; }

    void SelectFile(Destination destination);
    void Put(std::string line);
    void Sleep(double seconds);
    // ABORT: when the step runs up to here, it stops, `message` goes to the
    // log as an ERROR and SAS is to end with `exitCode`.
    void Abort(std::string message, int exitCode);
    // The exit code of an ABORT that the step ran into.
    std::optional<int> AbortCode() const { return abortCode_; }
    // A variable that the step reads but never sets; noted once.
    void ReadUninitialized(const std::string& name);

    // Runs the step unless it failed, then writes to the log: the
    // uninitialized-variable notes, what the step put to the log, a note
    // per external file written (path and record count), the
    // stopped-processing note if the step did not run through, and the
    // DATA statement timing note followed by an empty line. A file that
    // cannot be opened is an ERROR and ends the run of the step there.
    // Output files are replaced at their first write in the step, or
    // appended to when the fileref or the FILE statement says MOD.
    void Finish(Log& log, Listing& listing, const Filerefs& filerefs);

private:
    struct Action {
        enum class Kind { File, Put, Sleep, Abort };
        Kind kind;
        Destination destination;
        std::string line;  // Put: the line; Abort: the message
        double seconds = 0.0;
        int exitCode = 0;
    };

    bool ResolveFilerefs(Log& log, const Filerefs& filerefs) const;
    void Execute(Log& log, Listing& listing, const Filerefs& filerefs);

    std::vector<Action> actions_;
    std::vector<std::string> uninitialized_;
    bool failed_ = false;
    std::optional<int> abortCode_;
    Stopwatch clock_;
};

}  // namespace tamberlo::standin
