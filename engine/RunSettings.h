#pragma once

#include "host/Error.h"
#include "host/SessionEncoding.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamberlo {

// What a run hands SAS beyond the program: its parameters. Texts are UTF-8,
// written in the session encoding when a run builds SAS's command line; the
// autoexec file is a path by the host's narrow name, as the SAS root is.
struct RunSettings {
    using NamedValue = std::pair<std::string, std::string>;

    std::optional<std::string> sysparm;   // -SYSPARM, read as &SYSPARM
    std::vector<NamedValue> environment;  // -SET NAME VALUE, read with %SYSGET(NAME)
    // Macro variables that hold exactly their value when the program starts.
    std::vector<NamedValue> macroVariables;
    // Macro variables whose value is a path by the host's narrow name, as the
    // autoexec file is: the session holds it as SAS's file functions take it
    // (SessionEncoding::FromHostPath), so that it names the same file.
    std::vector<NamedValue> pathMacroVariables;
    std::optional<std::string> autoexec;    // -AUTOEXEC, run by SAS ahead of the program
    std::vector<std::string> extraOptions;  // words of SAS system options, as given

    bool operator==(const RunSettings&) const = default;
};

// Which setting of a RunSettings could not be passed to SAS.
enum class RunSettingKind { Sysparm, Environment, MacroVariable, PathMacroVariable, Autoexec, ExtraOption };

// Raised by Execute (error 1, "Execute method") before anything is written
// when a setting cannot reach SAS intact: its description says which and
// why; Kind, Subject (the name, or the option word) and Reason tell a
// caller that words it otherwise.
class UnpassableSetting : public Error {
public:
    UnpassableSetting(RunSettingKind kind, std::string subject, std::string reason);
    RunSettingKind Kind() const noexcept { return kind_; }
    const std::string& Subject() const noexcept { return subject_; }
    const std::string& Reason() const noexcept { return reason_; }

private:
    RunSettingKind kind_;
    std::string subject_;
    std::string reason_;
};

namespace runsettings {

// Why a value cannot be passed, or the empty text: a NUL ends the argument
// early, and SAS would take a line break as the end of the option.
std::string WhyNotValue(std::string_view value);
// Why a name is no name of a macro variable or environment value for SAS
// (a letter or underscore, then letters, digits and underscores, at most 32).
std::string WhyNotName(std::string_view name);
// Why an extra option word cannot be passed: it holds what no value may
// hold, or it is an option by which Tamberlo runs SAS (-SYSIN, -LOG, ...)
// or that has a setting of its own (-SYSPARM, -SET, -AUTOEXEC).
std::string WhyNotExtraOption(std::string_view word);

// Raises UnpassableSetting for the first setting that cannot be passed;
// with `encoding`, also for a character it cannot hold.
void Check(const RunSettings& settings, const SessionEncoding* encoding);

// The options that carry the settings, each starting with a blank, for the
// end of SAS's command line: values in `encoding`, quoted, the extra
// options last and as given (quoted only where a blank or quotation mark
// would split them). Check them first.
std::string CommandLineOptions(const RunSettings& settings, const SessionEncoding& encoding);

// The lines written ahead of the program that give each macro variable its
// value, one "%LET NAME=...;" with a carriage return and line feed each,
// the path macro variables last: the value comes from the environment with
// macro quoting, so that no character of it can end the statement or be
// resolved.
std::string MacroPreamble(const RunSettings& settings);

}  // namespace runsettings
}  // namespace tamberlo
