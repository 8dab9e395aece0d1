#pragma once

#include "automation/CodeRunner.h"
#include "support/SideBySide.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The SAS installations the CodeRunner benchmarks run against, and a few
// steps they share.
namespace tamberlo::bench {

// The SAS that the run benchmarks measure against: the
// SAS stand-in (tools/sas-standin). Ends in '/'.
const std::string& RunSasRoot();
// "the stand-in", for the table.
const char* RunSasName();

// A SAS that only hard-links ready files into place as its log and listing
// (see helpers/LinkingSAS.cpp). Ends in '/'.
const std::string& LinkingSasRoot();

// Sets an environment variable for its lifetime (for the SAS runs, and for
// TMPDIR, which the component reads at every temporary name), then puts
// back what was there.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

// Starts the program with these arguments and waits for it, as directly as
// the system allows; with a console file (made anew: it must not exist), its
// standard output and error go there. Ends the benchmark program when it
// cannot start.
void StartAndWait(std::vector<std::string>& args, const std::string& consoleFile = {});

// SAS started directly, doing inside Run() all that Execute does around the
// start: write the program file, start SAS with Execute's command line (its
// console going to a file where Execute's does), wait, and delete the
// program, log, listing and console. The fair reference for a run.
class DirectStart {
public:
    // The files are `base` + .sas, .log, .lst and .txt.
    DirectStart(const std::string& base, std::string programText);
    void Run();
    // The start and the wait alone, timed; the files written before and
    // deleted after, untimed: what starting SAS itself costs.
    Timing TimeStartAlone();

private:
    void Start();
    void DeleteFiles();

    std::string programText_;
    std::string program_, log_, listing_, console_;
    std::vector<std::string> args_;
};

// A one-line program followed by "/* _PUT1 _PUT2 ... _PUT<count> */": a
// program that refers to that many put files.
std::string ProgramReferringToPutFiles(int count);

// Runs the runner's program against the SAS in `root` with its default
// configuration; ends the benchmark program when the run does not come back
// "OK".
void ExecuteOrAbort(CodeRunner& runner, const std::string& root);

// Puts `bytes` of data lines into each of the runner's put files 1 to
// `count`, as a DATA step writing them would.
void FillPutFiles(CodeRunner& runner, int count, std::size_t bytes);

// The paths of the runner's put files 1 to `count`.
std::vector<std::string> PutFilePaths(CodeRunner& runner, int count);

}  // namespace tamberlo::bench
