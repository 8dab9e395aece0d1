#include "cli/run/RemoteOptions.h"

#include "cli/base/CommandText.h"
#include "cli/run/SessionOptions.h"
#include "cli/base/UsageError.h"
#include "remote/SshCommandLine.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tamberlo::cli {
namespace {

constexpr const char* remoteGroup = "Remote (SAS on another machine, through ssh)";
// A day: far beyond any network's answer; beyond it a typo.
constexpr int maximumConnectTimeout = 86400;

remote::RemoteAddress ParseAddress(const std::string& text, const std::string& from) {
    try {
        return remote::RemoteAddress::Parse(text);
    } catch (const std::invalid_argument& refused) {
        throw UsageError(from + (text.empty() ? "" : " " + text) + ": " + refused.what() +
                         "; expected [USER@]HOST[:PORT]");
    }
}

}  // namespace

void DeclareRemoteOptions(CLI::App& app, RemoteOptions& options) {
    app.add_option_function<std::string>(
           "--remote",
           [&options](const std::string& text) {
               options.address = ParseAddress(text, "--remote");
               options.addressText = text;
           },
           R"(run SAS on HOST ([USER@]HOST[:PORT], an IPv6 address
in brackets) through the system's ssh (its config,
agent and known hosts apply; it never prompts): the
program and --send files go there, the results come
back; --sas-root, --config and the program's %INCLUDE
and data paths are the remote's; default:
$TAMBERLO_REMOTE)")
        ->type_name("HOST")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
        ->group(remoteGroup);
    CLI::Option* command = app.add_option("--remote-command", options.remoteCommand,
                                          "the remote's tamberlo (default: tamberlo on its PATH)");
    command->type_name("PATH")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->group(remoteGroup);
    Check(*command, NonEmptyName(), "a path");
    CLI::Option* timeout =
        app.add_option("--connect-timeout", options.connectTimeout,
                       "give up (exit 3) when the remote does not answer\nwithin SECONDS (default: 30)");
    timeout->type_name("SECONDS")->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)->group(remoteGroup);
    Check(*timeout, CLI::Range(1, maximumConnectTimeout), "1 to " + std::to_string(maximumConnectTimeout));
    app.add_option_function<std::vector<std::string>>(
           "--ssh-option",
           [&options](const std::vector<std::string>& given) {
               for (const std::string& option : given) {
                   try {
                       remote::CheckSshOption(option);
                   } catch (const std::invalid_argument& refused) {
                       throw UsageError("--ssh-option " + option + ": " + refused.what());
                   }
                   options.sshOptions.push_back(option);
               }
           },
           "one ssh option as ssh_config names it (Port=2222,\nProxyJump=bastion); may be given more than once")
        ->type_name("NAME=VALUE")
        ->allow_extra_args(false)
        ->group(remoteGroup);
    app.add_option_function<std::vector<std::string>>(
           "--send",
           [&options](const std::vector<std::string>& given) {
               for (const std::string& path : given) {
                   std::error_code ec;
                   if (path.empty() || !std::filesystem::exists(commandtext::ToPath(path), ec))
                       throw UsageError("--send " + path + ": no such file or folder");
                   options.send.push_back(path);
               }
           },
           R"(copy a file, or a folder with what it holds, into the
run's private folder on the remote before the run,
names relative to PATH's folder kept; the program
finds it as &TAMBERLO_SENT; may be given more than
once)")
        ->type_name("PATH")
        ->allow_extra_args(false)
        ->group(remoteGroup);
}

void FinishRemoteOptions(RemoteOptions& options) {
    if (!options.address) {
        const char* fromEnvironment = std::getenv(RemoteOptions::EnvironmentVariable);
        if (fromEnvironment != nullptr && *fromEnvironment != '\0') {
            options.address = ParseAddress(fromEnvironment, RemoteOptions::EnvironmentVariable);
            options.addressText = fromEnvironment;
        }
    }
    if (options.address) return;
    if (!options.send.empty()) throw UsageError("--send: only for a remote run (--remote or TAMBERLO_REMOTE)");
    if (!options.sshOptions.empty())
        throw UsageError("--ssh-option: only for a remote run (--remote or TAMBERLO_REMOTE)");
}

}  // namespace tamberlo::cli
