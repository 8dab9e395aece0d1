#include "cli/single/ResultPrinter.h"

#include "cli/reports/JsonText.h"
#include "host/ControlChars.h"

#include "cli/base/Console.h"
#include "cli/base/OutputDevice.h"
#include "cli/base/OutputNames.h"
#include "cli/run/RunParameters.h"
#include "cli/base/UsageError.h"
#include "engine/Engine.h"
#include "host/AnsiText.h"
#include "cli/base/CommandText.h"
#include "host/ControlChars.h"
#include "host/Error.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tamberlo::cli {
namespace {

constexpr const char* statusOK = "OK";

// A write that failed after the run; the message names the destination.
class OutputFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// SAS's console output helps where the log cannot: when SAS wrote none (it
// did not start) or ended with a failure code.
bool ShowsConsole(const SingleRunResult& result) {
    return result.executed && !result.console.empty() &&
           (result.log.empty() || result.outcome.sasExitCode.value_or(0) != 0);
}

constexpr std::size_t consoleLinesShown = 20;

// The console's last lines on standard error, under a heading that says
// whether some were left out.
std::string ConsoleTail(const std::string& console) {
    std::string text = console;
    if (text.back() != '\n') text += '\n';
    const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (lines <= consoleLinesShown) return "tamberlo: SAS wrote on its console:\n" + text;
    // Back from the final line break to the one that ends the last line left out.
    std::size_t start = text.size() - 1;
    for (std::size_t seen = 0; seen < consoleLinesShown; ++seen) start = text.rfind('\n', start - 1);
    return "tamberlo: SAS wrote on its console (the last " + std::to_string(consoleLinesShown) + " of " +
           std::to_string(lines) + " lines):\n" + text.substr(start + 1);
}

// UTF-8 text for the terminal: in its encoding, or, should it lack a
// character, as `original` stands in `originalEncoding` (never with
// characters replaced).
std::string ForTerminal(const std::string& utf8, const SessionEncoding& terminal, const std::string& original,
                        const SessionEncoding& originalEncoding) {
    if (terminal == originalEncoding) return original;
    return terminal.FromUtf8Or(utf8, original);
}

Json RunToJson(const SingleRunResult& result, const RunSettings& parameters) {
    // SAS's texts decoded from the session encoding; bytes it cannot decode
    // are counted.
    std::size_t undecodable = 0;
    const auto decoded = [&](const std::string& text) {
        std::size_t count = 0;
        std::string utf8 = result.outcome.encoding.ToUtf8(text, &count);
        undecodable += count;
        return utf8;
    };
    Json putFiles = Json::array();
    for (const PutFileEntry& entry : result.putFiles) {
        putFiles.push_back(Json{{"key", entry.key}, {"path", ansi::ToUtf8(entry.path)}, {"text", decoded(entry.text)}});
    }
    Json json{{"status", ansi::ToUtf8(result.status)},
              {"log", decoded(result.log)},
              {"listing", decoded(result.lst)},
              {"putFiles", std::move(putFiles)},
              {"errorLines", result.outcome.logLines.errorLines},
              {"warningLines", result.outcome.logLines.warningLines},
              {"sasExitCode", result.outcome.sasExitCode ? Json(*result.outcome.sasExitCode) : Json(nullptr)},
              {"encoding", result.outcome.encoding.Name()},
              {"parameters", ParametersToJson(parameters)}};
    json["undecodableBytes"] = undecodable;
    if (ShowsConsole(result)) json["console"] = ansi::ToUtf8(result.console);
    return json;
}

}  // namespace

ResultPrinter::ResultPrinter(const SingleRunOptions& options, std::FILE* out, std::FILE* err) noexcept
    : options_(options), out_(out), err_(err) {}

void ResultPrinter::OpenDestinations() {
    // Nothing is opened before every name is accepted.
    OutputNames names;
    for (const ProgramPiece& piece : options_.program) {
        if (piece.kind == ProgramPiece::Kind::File) names.AddInput("the program " + piece.value, piece.value);
    }
    AddSessionInputs(options_, names);
    for (const auto& [name, option] : {std::pair{options_.logFile, "--log"}, std::pair{options_.lstFile, "--lst"}}) {
        if (name && *name != SingleRunOptions::StandardStream)
            names.AddOutput(std::string(option) + " " + *name, *name);
    }
    if (options_.putDir) names.AddPutFolder("--put-dir " + *options_.putDir, *options_.putDir);
    reports_.emplace(options_, names);

    const auto open = [](const std::optional<std::string>& name, const char* option) -> File {
        if (!name || *name == SingleRunOptions::StandardStream) return nullptr;
        if (std::FILE* device = OpenIfDeviceOrPipe(*name, option)) return File(device);
        File file(console::OpenFile(*name, "wb"));
        if (!file)
            throw UsageError(std::string(option) + " " + *name + ": cannot create the file: " + std::strerror(errno));
        return file;
    };
    logFile_ = open(options_.logFile, "--log");
    lstFile_ = open(options_.lstFile, "--lst");
    if (options_.putDir) {
        std::error_code ec;
        const std::filesystem::path folder = commandtext::ToPath(*options_.putDir);
        std::filesystem::create_directories(folder, ec);
        if (!std::filesystem::is_directory(folder)) {
            throw UsageError("--put-dir " + *options_.putDir + ": cannot create the folder" +
                             (ec ? ": " + ec.message() : std::string()));
        }
    }
}

std::FILE* ResultPrinter::LogDestination() const noexcept {
    if (logFile_) return logFile_.get();
    if (options_.json || options_.report) return nullptr;
    if (options_.logFile) return out_;        // "-"
    return options_.follow ? nullptr : err_;  // already shown while SAS ran
}

std::FILE* ResultPrinter::LstDestination() const noexcept {
    if (lstFile_) return lstFile_.get();
    if (options_.json || options_.report) return nullptr;
    return out_;
}

void ResultPrinter::Write(std::FILE* to, const std::string& text, const std::string& name) {
    if (to == nullptr) return;
    if (std::fwrite(text.data(), 1, text.size(), to) != text.size() || std::fflush(to) != 0) {
        throw OutputFailure(name + ": cannot write: " + std::strerror(errno));
    }
}

void ResultPrinter::WritePutFiles(const SingleRunResult& result) {
    if (!options_.putDir) return;
    for (const PutFileEntry& entry : result.putFiles) {
        const std::filesystem::path path = commandtext::ToPath(*options_.putDir) / (entry.key + ".txt");
        const std::string name = path.string();
        File file(console::OpenFile(name, "wb"));
        if (!file) throw OutputFailure(name + ": cannot create: " + std::strerror(errno));
        // Put files are data: copied byte for byte, whatever --raw says.
        Write(file.get(), entry.bytes, name);
    }
}

ExitStatus ResultPrinter::PrintRun(const SingleRunResult& result) {
    return WithReports(ShowRun(result), result, nullptr);
}

ExitStatus ResultPrinter::PrintError(const Error& error, const SingleRunResult& partial) {
    return WithReports(ShowError(error, partial), partial, &error);
}

ExitStatus ResultPrinter::WithReports(ExitStatus status, const SingleRunResult& result, const Error* error) {
    if (reports_ && !reports_->Write(result, error, status)) return ExitStatus::OutputFailed;
    return status;
}

ExitStatus ResultPrinter::ShowRun(const SingleRunResult& result) {
    try {
        const auto name = [](const std::optional<std::string>& file, const char* fallback) {
            return file && *file != SingleRunOptions::StandardStream ? *file : std::string(fallback);
        };
        // Files named with --log and --lst get the texts in the session
        // encoding, cleaned unless --raw as on the terminal;
        // the standard streams get them in the terminal's encoding.
        const SessionEncoding terminal = SessionEncoding::Terminal();
        const auto shown = [&](const std::string& stored, const File& file) {
            // The runner cleans as its automation clients expect; the
            // command shows NUL and DEL as codes too.
            const bool more = !options_.raw && stored.find_first_of(std::string_view("\0\x7F", 2)) != std::string::npos;
            const std::string text = more ? CleanEveryControlChar(stored) : stored;
            const SessionEncoding& encoding = result.outcome.encoding;
            return file ? text : ForTerminal(encoding.ToUtf8(text), terminal, text, encoding);
        };
        Write(LogDestination(), shown(result.log, logFile_), name(options_.logFile, "the log"));
        Write(LstDestination(), shown(result.lst, lstFile_), name(options_.lstFile, "the listing"));
        WritePutFiles(result);
        if (options_.json) Write(out_, JsonText(RunToJson(result, options_.parameters), 2) + "\n", "standard output");
        if (options_.report) {
            Write(out_, ForTerminal(result.report, terminal, result.report, *SessionEncoding::FromName("UTF-8")),
                  "standard output");
        }
        if (ShowsConsole(result)) Write(err_, ConsoleTail(result.console), "standard error");
    } catch (const OutputFailure& failure) {
        std::fprintf(err_, "tamberlo: %s\n", console::ForTerminal(failure.what()).c_str());
        return ExitStatus::OutputFailed;
    }

    if (result.executed && result.status != statusOK) {
        std::fprintf(err_, "tamberlo: %s\n", result.status.c_str());
        return ExitStatus::TamberloError;
    }
    const int sasExitCode = result.outcome.sasExitCode.value_or(0);
    if (sasExitCode != 0 && !options_.json) {
        std::fprintf(err_, "tamberlo: SAS ended with exit code %d\n", sasExitCode);
        std::fflush(err_);
    }
    // SAS's own code counts whatever the output form; a code other than 0
    // or 1 (a crash's negative one included) is a failure.
    return StatusOf(options_.check ? result.outcome.verdict : VerdictOfExitCode(sasExitCode));
}

ExitStatus ResultPrinter::ShowError(const Error& error, const SingleRunResult& partial) {
    try {
        Write(LogDestination(), partial.log, "the log");
        Write(LstDestination(), partial.lst, "the listing");
    } catch (const OutputFailure& failure) {
        std::fprintf(err_, "tamberlo: %s\n", console::ForTerminal(failure.what()).c_str());
    }
    // One line, whatever a path in it holds (a TMPDIR with a line break or an escape sequence).
    std::fprintf(err_, "tamberlo: %s: %s\n", error.Source().c_str(),
                 console::ForTerminal(AllControlCharsAsCodes(commandtext::FromHost(error.Explained()))).c_str());
    std::fflush(err_);
    if (options_.json) {
        Json json{{"error",
                   {{"number", error.Number()},
                    {"source", ansi::ToUtf8(error.Source())},
                    {"description", ansi::ToUtf8(error.Description())}}},
                  {"log", partial.outcome.encoding.ToUtf8(partial.log)},
                  {"lst", partial.outcome.encoding.ToUtf8(partial.lst)}};
        if (!error.Detail().empty()) json["error"]["detail"] = ansi::ToUtf8(error.Detail());
        const std::string text = JsonText(json, 2) + "\n";
        std::fwrite(text.data(), 1, text.size(), out_);
        std::fflush(out_);
    }
    if (dynamic_cast<const TimeLimitReached*>(&error) != nullptr) return ExitStatus::TimeLimitReached;
    if (dynamic_cast<const RunStopped*>(&error) != nullptr) return ExitStatus::Interrupted;
    return ExitStatus::TamberloError;
}

}  // namespace tamberlo::cli
