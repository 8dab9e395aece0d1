#include "cli/ResultPrinter.h"

#include "cli/UsageError.h"
#include "engine/Engine.h"
#include "host/AnsiText.h"
#include "host/Error.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tamberlo::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* statusOK = "OK";

// A write that failed after the run; the message names the destination.
class OutputFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::string DumpJson(const Json& json) {
    // The texts are converted to UTF-8 beforehand; replacing is only a
    // safety net, so that the command never fails on a stray byte.
    return json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Json RunToJson(const RunResult& result) {
    Json putFiles = Json::array();
    for (const PutFileEntry& entry : result.putFiles) {
        putFiles.push_back(Json{{"key", entry.key},
                                {"path", ansi::ToUtf8(entry.path)},
                                {"text", ansi::ToUtf8(entry.text)}});
    }
    return Json{{"status", ansi::ToUtf8(result.status)},
                {"log", ansi::ToUtf8(result.log)},
                {"listing", ansi::ToUtf8(result.lst)},
                {"putFiles", std::move(putFiles)},
                {"errorLines", result.logLines.errorLines},
                {"warningLines", result.logLines.warningLines}};
}

}  // namespace

ResultPrinter::ResultPrinter(const CliOptions& options, std::FILE* out, std::FILE* err) noexcept
    : options_(options), out_(out), err_(err) {}

void ResultPrinter::OpenDestinations() {
    const auto open = [](const std::optional<std::string>& name, const char* option) -> File {
        if (!name || *name == CliOptions::StandardStream) return nullptr;
        File file(std::fopen(name->c_str(), "wb"));
        if (!file) throw UsageError(std::string(option) + " " + *name + ": cannot create the file: " + std::strerror(errno));
        return file;
    };
    logFile_ = open(options_.logFile, "--log");
    lstFile_ = open(options_.lstFile, "--lst");
    if (options_.putDir) {
        std::error_code ec;
        std::filesystem::create_directories(*options_.putDir, ec);
        if (!std::filesystem::is_directory(*options_.putDir)) {
            throw UsageError("--put-dir " + *options_.putDir + ": cannot create the folder" +
                             (ec ? ": " + ec.message() : std::string()));
        }
    }
}

std::FILE* ResultPrinter::LogDestination() const noexcept {
    if (logFile_) return logFile_.get();
    if (options_.json || options_.report) return nullptr;
    if (options_.logFile) return out_;       // "-"
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

void ResultPrinter::WritePutFiles(const RunResult& result) {
    if (!options_.putDir) return;
    for (const PutFileEntry& entry : result.putFiles) {
        const std::filesystem::path path = std::filesystem::path(*options_.putDir) / (entry.key + ".txt");
        const std::string name = path.string();
        File file(std::fopen(name.c_str(), "wb"));
        if (!file) throw OutputFailure(name + ": cannot create: " + std::strerror(errno));
        Write(file.get(), entry.text, name);
    }
}

ExitStatus ResultPrinter::PrintRun(const RunResult& result) {
    try {
        const auto name = [](const std::optional<std::string>& file, const char* fallback) {
            return file && *file != CliOptions::StandardStream ? *file : std::string(fallback);
        };
        Write(LogDestination(), result.log, name(options_.logFile, "the log"));
        Write(LstDestination(), result.lst, name(options_.lstFile, "the listing"));
        WritePutFiles(result);
        if (options_.json) Write(out_, DumpJson(RunToJson(result)), "standard output");
        if (options_.report) Write(out_, result.report, "standard output");
    } catch (const OutputFailure& failure) {
        std::fprintf(err_, "tamberlo: %s\n", failure.what());
        return ExitStatus::OutputFailed;
    }

    if (result.executed && result.status != statusOK) {
        std::fprintf(err_, "tamberlo: %s\n", result.status.c_str());
        return ExitStatus::TamberloError;
    }
    if (options_.check) {
        if (result.logLines.errorLines > 0) return ExitStatus::LogHasErrors;
        if (result.logLines.warningLines > 0) return ExitStatus::LogHasWarnings;
    }
    return ExitStatus::Ok;
}

ExitStatus ResultPrinter::PrintError(const Error& error) {
    std::fprintf(err_, "tamberlo: %s: %s\n", error.Source().c_str(), error.Description().c_str());
    std::fflush(err_);
    if (options_.json) {
        const Json json{{"error",
                         {{"number", error.Number()},
                          {"source", ansi::ToUtf8(error.Source())},
                          {"description", ansi::ToUtf8(error.Description())}}}};
        const std::string text = DumpJson(json);
        std::fwrite(text.data(), 1, text.size(), out_);
        std::fflush(out_);
    }
    if (dynamic_cast<const TimeLimitReached*>(&error) != nullptr) return ExitStatus::TimeLimitReached;
    if (dynamic_cast<const RunStopped*>(&error) != nullptr) return ExitStatus::Interrupted;
    return ExitStatus::TamberloError;
}

}  // namespace tamberlo::cli
