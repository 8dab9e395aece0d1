#pragma once

#include "remote/RemoteAddress.h"

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tamberlo::cli {

// Where and how both forms of the command reach SAS on another machine
// through the system's OpenSSH client (--remote and the options beside it).
struct RemoteOptions {
    static constexpr const char* EnvironmentVariable = "TAMBERLO_REMOTE";
    static constexpr int DefaultConnectTimeout = 30;

    // --remote, else TAMBERLO_REMOTE when set and not empty; none: a local run.
    std::optional<remote::RemoteAddress> address;
    std::string addressText;  // as the user gave it, for messages
    std::string remoteCommand = "tamberlo";
    int connectTimeout = DefaultConnectTimeout;  // seconds
    std::vector<std::string> sshOptions;         // each one `ssh -o` value
    std::vector<std::string> send;               // files and folders, as given

    bool Wanted() const noexcept { return address.has_value(); }
};

// Declares --remote, --remote-command, --connect-timeout, --ssh-option and
// --send on `app`, bound to `options`, each checked as it is given (an
// empty host, a port out of range, a --send that names nothing: usage
// errors).
void DeclareRemoteOptions(CLI::App& app, RemoteOptions& options);

// Once the command line is read: TAMBERLO_REMOTE when --remote was not
// given, and a UsageError for remote options given without a remote.
void FinishRemoteOptions(RemoteOptions& options);

}  // namespace tamberlo::cli
