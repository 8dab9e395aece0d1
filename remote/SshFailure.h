#pragma once

#include "remote/SshCommandLine.h"

#include <string>
#include <string_view>

namespace tamberlo::remote {

// Why a remote run could not begin, from how ssh ended and what it (and the
// remote's shell) wrote on its standard error, before the remote side said
// who it was.
struct SshFailure {
    enum class Kind {
        UnknownHostKey,    // "Host key verification failed." for a host not in known_hosts
        ChangedHostKey,    // "REMOTE HOST IDENTIFICATION HAS CHANGED"
        Refused,           // "Permission denied": no key the remote accepts
        UnknownHost,       // "Could not resolve hostname"
        NothingListening,  // "Connection refused"
        TimedOut,          // "Connection timed out", "Operation timed out"
        NoRemoteTamberlo,  // exit 127 from the remote's shell: no such command
        NoRemoteSide,      // the remote command ran but did not answer as the remote side
        Other,             // any other end of ssh
    };

    Kind kind = Kind::Other;
    // One line: ssh's own words (its last lines on standard error), then
    // what to do, e.g. "ssh 127.0.0.2: Host key verification failed. (...);
    // the host's key is not known here: ...".
    std::string message;

    // `settings` as ssh was started with them, `given` the remote as the
    // user named it, `exitCode` ssh's (-1: ended by a signal), `errorText`
    // everything ssh wrote on standard error.
    static SshFailure Classify(const SshSettings& settings, std::string_view given, int exitCode,
                               std::string_view errorText);
};

}  // namespace tamberlo::remote
