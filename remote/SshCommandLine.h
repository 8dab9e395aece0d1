#pragma once

#include "remote/RemoteAddress.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::remote {

// How the system's OpenSSH client is started for a remote run.
struct SshSettings {
    std::string program = "ssh";  // found on PATH
    RemoteAddress address;
    int connectTimeoutSeconds = 30;
    // The user's own options (--ssh-option), each one `-o` value
    // ("Port=2222", "IdentityFile ~/.ssh/ci").
    std::vector<std::string> options;
    // When set, a master connection that the sessions share: its socket's
    // path, inside this side's private run folder.
    std::optional<std::string> controlPath;
    // The remote's tamberlo, a path or a name for the remote's PATH.
    std::string remoteCommand = "tamberlo";
};

// The arguments of ssh, program first, that run `remoteWords` after the
// remote command on the remote:
//   ssh -T -o BatchMode=yes -o ConnectTimeout=30 [-o OPTION...]
//       -o ServerAliveInterval=5 -o ServerAliveCountMax=3
//       [-o ControlMaster=auto -o ControlPath=P -o ControlPersist=yes]
//       [-p PORT] [USER@]HOST -- 'REMOTE COMMAND' WORDS...
// ssh takes the first value it meets for an option: the user's come after
// BatchMode and ConnectTimeout (which never prompt and always end) and
// before the keepalives (which they may change). The remote command is
// quoted for the remote's POSIX shell; `remoteWords` must be plain words
// that need no quoting (they are checked: std::invalid_argument).
std::vector<std::string> SshArguments(const SshSettings& settings, const std::vector<std::string>& remoteWords);

// `ssh -O exit` of the master connection of `settings` (its controlPath).
std::vector<std::string> SshMasterExitArguments(const SshSettings& settings);

// `word` in single quotes for a POSIX shell, a single quote inside as '\''.
std::string QuoteForPosixShell(std::string_view word);

// Checks one --ssh-option value: an ssh_config keyword (letters), then "="
// or spaces, then its value. Throws std::invalid_argument saying what is
// wrong (an option that could not be one -o value, a control character).
void CheckSshOption(std::string_view option);

}  // namespace tamberlo::remote
