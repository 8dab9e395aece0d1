#pragma once

// The shared helpers of the tests; use them rather than a copy of your own.
//   TestSupport.h    TempFolder, ScopedEnvironment, ScopedTempDirectory,
//                    ReadFile/WriteFile/ListFolder, RunFilesLeft, ErrorOf.
//   ErrorMatcher.h   EXPECT_THAT(ErrorOf([&] { ... }), IsError(1, "Execute method",
//                        StartsWith("The SAS program file '")));  the error triple.
//   RunFolderTest.h  fixture: the runs' temporary folder Temp() (the system's
//                    while the test lasts) must be empty at tear-down; the
//                    test's own files go in Work().
//   CommandTest.h    fixture: tamberlo run for real against the stand-in
//                    (Run, Batch, RunBare, WriteWork) and ListingPage; link
//                    tamberlo_test_command.
//   SshServer.h      (POSIX) a real sshd on 127.0.0.2 with its own keys and
//                    the client options that reach it; link tamberlo_test_sshd.
//   NaiveForms.h     the plain forms of the fast paths (9999 searches, thirty
//                    replacements, ...), shared with the fuzzers.
//   ChildProcess.h, ProcessProbe.h, HostPath.h, VectorLevels.h: starting a
//                    program, what a process holds, build-tree paths, vector levels.
// A SAS for tests: the stand-in (tools/sas-standin), driven by the switches
// of its TestSwitches.h.

#include "host/Error.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::test {

// A fresh folder for one test, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending in the platform's separator.
    const std::string& Path() const noexcept { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Sets an environment variable for the lifetime of the object and restores
// the earlier value (or its absence) afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Points the system temporary folder of this process at `folder` (TMPDIR on
// POSIX, TMP and TEMP on Windows) for the lifetime of the object.
class ScopedTempDirectory {
public:
    explicit ScopedTempDirectory(const std::string& folder);

private:
    ScopedEnvironment tmpdir_;
    ScopedEnvironment tmp_;
    ScopedEnvironment temp_;
};

// A run's temporary folder of its own, and another where the stand-in
// records what it received (TAMBERLO_STANDIN_RECORD=<work>/record), for a
// test that runs against the stand-in and checks what SAS was given.
struct RecordedRunFolders {
    TempFolder temp;
    TempFolder work;
    ScopedTempDirectory scopedTemp{temp.Path()};
    std::string record = work / "record";
    ScopedEnvironment recordSwitch{"TAMBERLO_STANDIN_RECORD", record};
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
// How often `part` stands in `text`, overlaps counted.
std::size_t Occurrences(const std::string& text, const std::string& part);
// The arguments, program first, that the stand-in recorded in `record`
// (TAMBERLO_STANDIN_RECORD): the Windows command line split as the
// stand-in's C run time splits it, or POSIX's argv lines.
std::vector<std::string> RecordedArguments(const std::string& record);
// The names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);
std::optional<std::string> GetEnvironment(const std::string& name);
// `path` of a run's file without the run's own folder (POSIX: the
// tmpSAS_<stamp>_<digits>/ in the temporary folder), so that it names the
// temporary folder on every platform.
std::string OutsideRunFolder(const std::string& path);

// The names of the files runs made in the temporary folder `folder`: those
// in it and, on POSIX, those in the runs' own folders (tmpSAS_.../) in it.
std::vector<std::string> RunFileNames(const std::string& folder);

// The run's own temporary files (tmpSAS...) left in a folder.
std::vector<std::string> RunFilesLeft(const std::string& folder);

// A program for the stand-in that writes "written to _PUT<n>" and a line
// break to put file n through its fileref.
std::string WritesToPutFile(int n);

// The Error that `call` throws; number 0 and "no error" when it throws none.
Error ErrorOf(const std::function<void()>& call);

}  // namespace tamberlo::test
