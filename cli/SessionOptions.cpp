#include "cli/SessionOptions.h"

#include "cli/UsageError.h"
#include "host/CommandText.h"

namespace tamberlo::cli {
namespace {

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

}  // namespace

std::string SessionOptions::HostSASRoot() const { return HostPath(sasRoot, "--sas-root"); }

std::string SessionOptions::HostConfigFile() const { return HostPath(configFile, "--config"); }

}  // namespace tamberlo::cli
