#pragma once

#include "engine/Engine.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo {

// The class clients create: a thin front over one Engine. It collects the
// program, starts runs, keeps the last status and hands out the results and
// the thread's two output switches. It never keeps the engine's Command or
// Output between calls, so that after Reset every member sees the new engine.
// Every failure is an Error that passes unchanged to the caller.
//
// A CodeRunner always has an engine: it can be neither copied nor moved, and
// when Reset cannot make a new engine (out of memory) every member that
// needs one raises 7 "Out of memory" until a later Reset succeeds.
class CodeRunner {
public:
    CodeRunner();
    CodeRunner(const CodeRunner&) = delete;
    CodeRunner& operator=(const CodeRunner&) = delete;

    bool CleanOutput() const;
    void SetCleanOutput(bool NewValue);
    // The whole state as one plain-text report, in UTF-8: the program, log,
    // listing and put files decoded from the session encoding (Encoding()).
    std::string DebugInfo() const;
    // Runs the collected program; empty texts select the standard search and
    // the default configuration file. LastExecuteReturnValue changes only
    // when a status comes back.
    std::string Execute(const std::string& SASRoot = {}, const std::string& SASConfig = {});
    // The same with a time limit or a progress callback (C++ callers only).
    std::string Execute(const std::string& SASRoot, const std::string& SASConfig, const RunControl& control);
    std::string Log() const;
    std::string Lst() const;
    // The texts that Log and Lst clean, as stored: for callers that clean and
    // convert them in one go and would otherwise copy them twice.
    const std::string& StoredLog() const;
    const std::string& StoredLst() const;
    // The put file "_PUT<Index>": its text, or with ReturnPath its path.
    std::string PutFile(std::int16_t Index, bool ReturnPath = false) const;
    // The keys of the put files of the runs so far, in collection order (C++
    // callers only: the automation interface looks put files up by number).
    std::vector<std::string> PutFileKeys() const;
    // The number of lines the last run wrote ahead of the program text (the
    // formchar statement, the put files' filename statements), so that a
    // line number of the file SAS ran can be told as one of the program's
    // own (C++ callers only).
    long PreambleLines() const;
    // Releases the engine (its put files are deleted), then makes a new one.
    // Without memory for it, throws std::bad_alloc and stays without one.
    void Reset();
    void SetSafeFormChar(bool NewValue);
    bool SafeFormChar() const;
    // Appends program text (UTF-8) and a line break, or, for a single-line
    // value ending in ".SAS" in any case, the whole content of that file,
    // byte for byte (it is in the session encoding already). The text is
    // encoded in the session encoding when a run writes the program.
    void SetSASCode(const std::string& NewValue);
    // Appends a stored program's content, as SetSASCode appends a .sas file
    // that it reads itself: for callers that read the file by a name the
    // ANSI code page cannot hold.
    void AppendStoredProgram(const std::string& content);
    // The program as collected: text as given, stored programs as read.
    std::string SASCode() const;
    // The program as UTF-8, stored programs decoded from Encoding().
    std::string SASCodeText() const;

    // The session encoding for the runs to come: none (the default) lets
    // Execute find it in SAS's configuration, else the platform's default.
    // An unknown name fails the next Execute, naming `origin`.
    void SetEncoding(std::optional<EncodingSetting> setting);
    // The encoding of Log, Lst and the put files: the last run's, or before
    // any run what the setting names (else the platform's default).
    SessionEncoding Encoding() const { return CurrentEngine().Encoding(); }

    // The parameters of the runs to come (C++ callers only: the automation
    // interface has no slot for them): -SYSPARM, -SET values, macro
    // variables set ahead of the program, an autoexec file and further SAS
    // options. They last through Reset. A setting that cannot reach SAS
    // intact fails the next Execute with UnpassableSetting, nothing written.
    void SetRunSettings(RunSettings settings);
    const RunSettings& Settings() const noexcept { return settings_; }

    const std::string& LastExecuteReturnValue() const noexcept { return lastExecuteReturnValue_; }
    // SAS's exit code in the last run that SAS ended; none until SAS has run
    // (C++ callers only: the automation interface has no slot for it).
    std::optional<int> LastExitCode() const noexcept { return engine_ ? engine_->LastExitCode() : std::nullopt; }
    // What SAS wrote to its console (standard output and error) in the last
    // run that started it, where the build captures it (POSIX); C++ only.
    const std::string& Console() const { return CurrentEngine().Console(); }

private:
    // The current engine; raises 7 when a failed Reset left none.
    Engine& CurrentEngine() const;

    std::unique_ptr<Engine> engine_;
    std::string lastExecuteReturnValue_;
    std::optional<EncodingSetting> encodingSetting_;
    RunSettings settings_;
};

// True when a value assigned to SASCode names a program file: no carriage
// return followed by a line feed anywhere, and the last four characters are
// ".SAS" in any letter case.
bool NamesProgramFile(const std::string& value) noexcept;

}  // namespace tamberlo
