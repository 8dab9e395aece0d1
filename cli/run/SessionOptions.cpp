#include "cli/run/SessionOptions.h"

#include "cli/base/CommandText.h"
#include "cli/findings/LogRules.h"
#include "cli/base/Console.h"
#include "cli/base/OutputNames.h"
#include "cli/base/UsageError.h"
#include "host/FileSystem.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cmath>
#include <filesystem>
#include <system_error>

namespace tamberlo::cli {
namespace {

// Where SAS is found differs with the SAS the build drives.
#ifdef _WIN32
constexpr const char* sasRootHelp = R"(the folder of SAS.EXE (default: the standard installation
folder, searched on drives C to Z))";
constexpr const char* configHelp = R"(the SAS configuration file (default: sasv8.cfg beside
SAS.EXE))";
#else
constexpr const char* sasRootHelp = R"(the folder of sas (default: the installation of the sas on PATH,
found along its links, else the first of
/usr/local/SASHome/SASFoundation/9.4/,
/opt/sas/SASHome/SASFoundation/9.4/ and
/opt/SASHome/SASFoundation/9.4/ that holds sas))";
constexpr const char* configHelp = R"(the SAS configuration file (default: sasv9.cfg beside
sas))";
#endif

std::string HostPath(const std::string& path, const char* option) {
    if (path.empty()) return path;
    std::optional<std::string> host = commandtext::ToHostPath(path);
    if (!host) {
        throw UsageError(std::string(option) + " " + path +
                         ": SAS cannot be given this name: the ANSI code page lacks a character of it, and it has no "
                         "short name");
    }
    return *host;
}

// A parameter's text from the command line as UTF-8; bytes that are no text
// in the arguments' encoding are refused rather than replaced.
std::string ArgumentText(const std::string& option, const std::string& value) {
    std::size_t undecodable = 0;
    std::string text = console::ArgumentEncoding().ToUtf8(value, &undecodable);
    if (undecodable != 0) {
        throw UsageError(option + ": it holds bytes that are not text in the encoding " +
                         console::ArgumentEncoding().Name());
    }
    return text;
}

// "NAME=VALUE" into its two parts, replacing an earlier value of NAME.
void SetNamed(std::vector<RunSettings::NamedValue>& into, const char* option, const std::string& given) {
    const std::size_t equals = given.find('=');
    if (equals == std::string::npos) throw UsageError(std::string(option) + " " + given + ": expected NAME=VALUE");
    std::string name = given.substr(0, equals);
    std::string value = ArgumentText(std::string(option) + " " + name, given.substr(equals + 1));
    const auto same = [&](const RunSettings::NamedValue& entry) { return entry.first == name; };
    into.erase(std::remove_if(into.begin(), into.end(), same), into.end());
    into.emplace_back(std::move(name), std::move(value));
}

// SAS would wait on a pipe or read a device without end: a file SAS reads
// that is there must be a plain file.
void CheckRegularFile(const std::string& path, const char* option) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(commandtext::ToPath(path), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw UsageError(std::string(option) + " " + path + ": not a regular file");
}

// What no run could pass is refused once the command line is read; with
// --encoding naming a known encoding, a character it lacks too (otherwise
// the run finds the encoding and refuses it then).
void CheckParameters(const SessionOptions& options) {
    std::optional<SessionEncoding> encoding;
    if (options.encoding) encoding = SessionEncoding::FromName(*options.encoding);
    try {
        runsettings::Check(options.parameters, encoding ? &*encoding : nullptr);
    } catch (const UnpassableSetting& refused) {
        throw ParameterUsageError(refused);
    }
    // A remote run's autoexec is the remote's file.
    const char* remoteDefault = std::getenv(RemoteOptions::EnvironmentVariable);
    const bool remote = options.remote.Wanted() || (remoteDefault != nullptr && *remoteDefault != '\0');
    if (options.parameters.autoexec && !remote) {
        const std::string& path = *options.parameters.autoexec;
        CheckRegularFile(path, "--autoexec");
        try {
            filesystem::CheckReadable(commandtext::ToPath(path));
        } catch (const Error& error) {
            throw UsageError("--autoexec " + path + ": " + error.Description());
        }
    }
    // A missing configuration file is the run's to report, as SAS's
    // clients word it.
    if (!options.configFile.empty() && !remote) CheckRegularFile(options.configFile, "--config");
}

constexpr const char* parametersGroup = "Parameters";

}  // namespace

UsageError ParameterUsageError(const UnpassableSetting& refused) {
    const std::string& subject = refused.Subject();
    switch (refused.Kind()) {
    case RunSettingKind::Sysparm: return UsageError("--sysparm: " + refused.Reason());
    case RunSettingKind::Environment: return UsageError("--set " + subject + ": " + refused.Reason());
    case RunSettingKind::MacroVariable: return UsageError("--let " + subject + ": " + refused.Reason());
    case RunSettingKind::PathMacroVariable:
        // Set by the command from the program's own path, not by the user.
        return UsageError("the macro variable " + subject + " (the program's own path) cannot be passed to SAS: " +
                          refused.Reason() + "; --let " + subject + "=VALUE sets it instead");
    case RunSettingKind::Autoexec: return UsageError("--autoexec: " + refused.Reason());
    case RunSettingKind::ExtraOption: break;
    }
    return UsageError("--sas-option " + subject + ": " + refused.Reason());
}

void AddSessionInputs(const SessionOptions& options, OutputNames& names) {
    if (options.parameters.autoexec)
        names.AddInput("--autoexec " + *options.parameters.autoexec, *options.parameters.autoexec);
    if (!options.configFile.empty()) names.AddInput("--config " + options.configFile, options.configFile);
    // A file sent to a remote run is read after the outputs are opened: an
    // output of the same name would empty it before it is sent.
    for (const std::string& sent : options.remote.send) names.AddInput("--send " + sent, sent);
}

RunSettings SessionOptions::HostParameters() const {
    RunSettings settings = parameters;
    if (settings.autoexec) settings.autoexec = HostPath(*settings.autoexec, "--autoexec");
    return settings;
}

void DeclareSessionOptions(CLI::App& app, SessionOptions& options, const SessionWording& wording) {
    app.add_option("--sas-root", options.sasRoot, sasRootHelp)->type_name("DIR")->group(wording.sasGroup);
    app.add_option("--config", options.configFile, configHelp)->type_name("FILE")->group(wording.sasGroup);
    CLI::Option* encoding = app.add_option_function<std::string>(
        "--encoding", [&options](const std::string& name) { options.encoding = name; },
        "the SAS session encoding (UTF-8, WLATIN1, LATIN1,\nSHIFT-JIS, ...), passed to SAS as -ENCODING; default:\nthe last -ENCODING of the configuration file");
    encoding->type_name("NAME")->group(wording.sasGroup);
    Check(*encoding, NonEmptyName(), "the name of an encoding");
    app.add_flag("--no-formchar", options.noFormChar, "no formchar options statement ahead of the program")
        ->group(wording.sasGroup);
    app.add_flag("--raw", options.raw, wording.raw)->group(wording.rawGroup);
    app.add_option_function<std::string>(
           "--timeout", [&options](const std::string& seconds) { options.timeout = ParseTimeout(seconds); },
           wording.timeout)
        ->type_name("SECONDS")
        ->group(wording.sasGroup);

    DeclareLogRules(app, options);

    RunSettings& parameters = options.parameters;
    app.add_option_function<std::string>(
           "--sysparm",
           [&parameters](const std::string& text) { parameters.sysparm = ArgumentText("--sysparm", text); },
           "passed to SAS as -SYSPARM: the program reads it as\n&SYSPARM")
        ->type_name("TEXT")
        ->group(parametersGroup);
    app.add_option_function<std::vector<std::string>>(
           "--set",
           [&parameters](const std::vector<std::string>& given) {
               for (const std::string& one : given) SetNamed(parameters.environment, "--set", one);
           },
           "passed to SAS as -SET NAME VALUE: the program reads\nit with %SYSGET(NAME); may be given more than once")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->group(parametersGroup);
    app.add_option_function<std::vector<std::string>>(
           "--let",
           [&parameters](const std::vector<std::string>& given) {
               for (const std::string& one : given) SetNamed(parameters.macroVariables, "--let", one);
           },
           R"(the macro variable NAME holds exactly VALUE when the
program starts, whatever characters it holds; may be
given more than once)")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->group(parametersGroup);
    CLI::Option* autoexec = app.add_option_function<std::string>(
        "--autoexec", [&parameters](const std::string& path) { parameters.autoexec = path; },
        "passed to SAS as -AUTOEXEC: a program SAS runs ahead\nof the program, not shown in the log");
    autoexec->type_name("FILE")->group(parametersGroup);
    Check(*autoexec, NonEmptyName(), "a file name");
    app.add_option_function<std::vector<std::string>>(
           "--sas-option",
           [&parameters](const std::vector<std::string>& words) {
               for (const std::string& word : words)
                   parameters.extraOptions.push_back(ArgumentText("--sas-option " + word, word));
           },
           R"(one more word of SAS system options, passed after
Tamberlo's own: --sas-option=-MEMSIZE --sas-option=4G;
may be given more than once)")
        ->type_name("WORD")
        ->allow_extra_args(false)
        ->group(parametersGroup);
    DeclareAnnotations(app, options);
    app.final_callback([&options] { CheckParameters(options); });
}

void DeclareReportOptions(CLI::App& app, ReportOptions& options, const char* group,
                          std::optional<std::string>* jsonFile) {
    const auto add = [&app, group](const char* name, std::optional<std::string>& into, const char* help) {
        CLI::Option* option = app.add_option_function<std::string>(
            name, [&into](const std::string& value) { into = value; }, help);
        option->type_name("FILE")->group(group);
        Check(*option, NonEmptyName(), "a file name");
    };
    add("--junit", options.junitFile, R"(write a JUnit report: a testcase per program, with
the first 256 KiB of its log)");
    if (jsonFile != nullptr) add("--json", *jsonFile, "write the same facts as one JSON object");
    add("--html", options.htmlFile, R"(write one self-contained HTML page: the summary, the
programs filtered by verdict and sorted by name, time
or findings, each program's findings linked to its
log, coloured as SAS's log window does, and listing)");
    add("--sarif", options.sarifFile, R"(write a SARIF 2.1.0 report for code scanning (GitHub,
editors): a result per finding, at its program line,
and one per program that failed without a finding)");
    add("--codequality", options.codeQualityFile, R"(write a GitLab Code Quality report: an issue per
finding, and one per program that failed without one)");
    CLI::Option* root = app.add_option("--source-root", options.sourceRoot,
                                       R"(the folder that the locations of --sarif and
--codequality are relative to (default: the current
folder); a program outside it is named by its full path)");
    root->type_name("DIR")->group(group);
    Check(*root, CLI::ExistingDirectory, "an existing folder");
}

void DeclareLogRules(CLI::App& app, SessionOptions& options) {
    // Checked as they are given, so that a bad pattern is a usage error
    // before anything runs.
    // LogRules::CheckPattern's UsageError says what is wrong with the pattern.
    const auto regex = [](const char* option) {
        return CLI::Validator(
            [option](std::string& value) {
                const std::string pattern = std::string(option) == "--fail-on" ? LogRules::FailOnPattern(value) : value;
                LogRules::CheckPattern(pattern, option);
                return std::string();
            },
            "");
    };
    constexpr const char* rulesGroup = "Log rules";
    CLI::Option* ignore =
        app.add_option("--ignore", options.ignore, R"(a log line matching REGEX (RE2's syntax: no look-around
or back-references; searched in the line) is not
counted as an ERROR or WARNING line; may be given more
than once)");
    ignore->type_name("REGEX")->allow_extra_args(false)->group(rulesGroup)->check(regex("--ignore"));
    CLI::Option* failOn =
        app.add_option("--fail-on", options.failOn, R"(a log line matching REGEX counts as an ERROR line (a
NOTE the site treats as a fault); NAME=REGEX names the
rule in the reports: what comes before the first = is
the NAME when it is a letter followed by letters,
digits, ., _ or - (rc=4 is the rule rc of the pattern
4; write rc\=4 or mine=rc=4 to find "rc=4"); a NAME
is given once and is none of the built-in ids; may be
given more than once; --ignore wins)");
    failOn->type_name("REGEX")->allow_extra_args(false)->group(rulesGroup)->check(regex("--fail-on"));
    app.add_flag("--strict", options.strict, R"(fail on the NOTEs careful programmers check for:
uninitialized variables, invalid data, repeats of BY
values, values converted, missing values generated,
W.D formats too small, MERGE without BY)")
        ->group(rulesGroup);
}

void CheckLogRules(const SessionOptions& options) {
    const LogRules rules(options.ignore, options.failOn, options.strict);
    static_cast<void>(rules);
}

void DeclareAnnotations(CLI::App& app, SessionOptions& options) {
    CLI::Option* annotations = app.add_option_function<std::string>(
        "--annotations", [&options](const std::string& value) { options.annotations = value; },
        R"(github: write GitHub Actions annotations of the
findings (::error file=F,line=L::...) on standard
output and append a summary to $GITHUB_STEP_SUMMARY
(a single run: when checked); none: do not;
default: github when GITHUB_ACTIONS is true)");
    annotations->type_name("KIND")->group("Output");
    Check(*annotations, CLI::IsMember({"github", "none"}), "github or none");
}

void Check(CLI::Option& option, const CLI::Validator& validator, const std::string& expected) {
    option.check(CLI::Validator(
        [validator, expected, name = option.get_name()](std::string& value) {
            std::string copy = value;
            if (!validator(copy).empty()) {
                throw UsageError(name + (value.empty() ? "" : " " + value) + ": expected " + expected);
            }
            return std::string();
        },
        // The help names the value by its type alone.
        ""));
}

const CLI::Validator& NonEmptyName() {
    static const CLI::Validator nonEmpty(
        [](std::string& value) { return value.empty() ? std::string("empty") : std::string(); }, "");
    return nonEmpty;
}

std::chrono::milliseconds ParseTimeout(std::string_view seconds) {
    // Whole seconds this large are far beyond any batch run and still far
    // from overflowing the millisecond count.
    constexpr double maximumSeconds = 1e9;
    double value = 0;
    const char* first = seconds.data();
    const char* last = first + seconds.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (seconds.empty() || ec != std::errc{} || end != last || !std::isfinite(value) || value <= 0) {
        throw UsageError("--timeout " + std::string(seconds) + ": expected a positive number of seconds");
    }
    if (value > maximumSeconds) {
        throw UsageError("--timeout " + std::string(seconds) + ": more than 1000000000 seconds");
    }
    return std::chrono::milliseconds(static_cast<long long>(std::ceil(value * 1000.0)));
}

std::string SessionOptions::HostSASRoot() const { return HostPath(sasRoot, "--sas-root"); }

std::string SessionOptions::HostConfigFile() const { return HostPath(configFile, "--config"); }

}  // namespace tamberlo::cli
