#include "cli/run/ProgramFileVariables.h"

#include "cli/base/CommandText.h"
#include "cli/base/UsageError.h"
#include "host/AsciiCase.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

namespace tamberlo::cli::programfile {
namespace {

namespace fs = std::filesystem;

// The full path without "." steps and doubled separators. ".." stays: past
// a linked folder it does not lead back where the text suggests.
fs::path FullPath(const std::string& path) {
    std::error_code error;
    const fs::path absolute = fs::absolute(commandtext::ToPath(path), error);
    if (error) throw UsageError(path + ": cannot tell the program's full path: " + error.message());
    fs::path full = absolute.root_path();
    for (const fs::path& step : absolute.relative_path()) {
        if (!step.empty() && step != ".") full /= step;
    }
    return full;
}

std::string WithoutTrailingSeparators(std::string text) {
    const auto isSeparator = [](char c) { return c == '/' || c == static_cast<char>(fs::path::preferred_separator); };
    while (!text.empty() && isSeparator(text.back())) text.pop_back();
    return text;
}

std::string HostName(const std::string& text, const std::string& program) {
    const std::optional<std::string> host = commandtext::ToHostPath(text);
    if (!host) {
        throw UsageError(program + ": SAS cannot be given the program's own path as " + FileVariable + " and " +
                         FolderVariable + ": the ANSI code page lacks a character of '" + text +
                         "', and it has no short name; --let " + FileVariable + "=VALUE and --let " + FolderVariable +
                         "=VALUE set them instead");
    }
    return *host;
}

bool UserSets(const RunSettings& settings, const char* name) {
    return std::any_of(settings.macroVariables.begin(), settings.macroVariables.end(),
                       [name](const RunSettings::NamedValue& given) { return AsciiUpper(given.first) == name; });
}

}  // namespace

RunSettings WithProgramFile(RunSettings settings, const std::string& path) {
    const fs::path full = FullPath(path);
    const std::string fileText = commandtext::FromPath(full);
    const std::string folderText = WithoutTrailingSeparators(commandtext::FromPath(full.parent_path()));
    if (!UserSets(settings, FileVariable)) {
        settings.pathMacroVariables.emplace_back(FileVariable, HostName(fileText, path));
    }
    if (!UserSets(settings, FolderVariable)) {
        // The root's folder is the empty text, which ToHostPath cannot look up.
        settings.pathMacroVariables.emplace_back(FolderVariable,
                                                 folderText.empty() ? folderText : HostName(folderText, path));
    }
    return settings;
}

}  // namespace tamberlo::cli::programfile
