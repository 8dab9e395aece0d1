#include "cli/remoteside/RemoteRun.h"

#include "cli/run/ProgramFileVariables.h"
#include "cli/base/UsageError.h"
#include "cli/remoteside/SentFileName.h"
#include "host/AsciiCase.h"

#include <algorithm>
#include <filesystem>

namespace tamberlo::cli {

namespace {

constexpr const char* SentVariable = "TAMBERLO_SENT";

bool UserSets(const RunSettings& settings, const char* name) {
    return std::any_of(settings.macroVariables.begin(), settings.macroVariables.end(),
                       [name](const RunSettings::NamedValue& given) { return AsciiUpper(given.first) == name; });
}

// The program's own file on this host: a sent file below the sent folder,
// or an absolute path as it is.
std::string ProgramFilePath(const std::string& given, const SentFolder* sent) {
    if (!given.empty() && given.front() == '/') return given;
    if (sent != nullptr) {
        SentFileParts(given);
        const std::string path = sent->Path() + '/' + given;
        std::error_code ignored;
        if (std::filesystem::is_regular_file(path, ignored)) return path;
    }
    throw UsageError("--program-file " + given + ": names no file sent with the run and is not absolute");
}

}  // namespace

RemoteRun::RemoteRun(const RemoteRequest& request, RequestOptions parsed)
    : request_(request), options_(std::move(parsed.options)) {
    options_.raw = true;
    // The answer carries the put files, as --json's object does.
    options_.json = true;
    RunSettings& parameters = options_.parameters;
    if (request.sent && !UserSets(parameters, SentVariable)) {
        parameters.pathMacroVariables.emplace_back(SentVariable, request.sent->Path());
    }
    if (parsed.programFile) {
        try {
            parameters = programfile::WithProgramFile(std::move(parameters),
                                                      ProgramFilePath(*parsed.programFile, request.sent.get()));
        } catch (const std::runtime_error& refused) {
            throw UsageError(refused.what());
        }
    }
}

SingleRunResult RemoteRun::Run(LogFollower* follower) const {
    ProgramAssembly::Assignment program;
    program.value = request_.program;
    program.isStoredContent = true;
    return SingleRun(options_).Run({program}, follower);
}

}  // namespace tamberlo::cli
