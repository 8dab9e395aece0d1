#include "remote/SshFailure.h"

#include "host/ControlChars.h"

#include <vector>

namespace tamberlo::remote {
namespace {

bool Says(std::string_view text, std::string_view words) { return text.find(words) != std::string_view::npos; }

// ssh's words for the user: its non-empty lines that are not the banner of
// a warning (rows of @), at most the last few, joined on one line.
std::string OwnWords(std::string_view text, std::size_t shown = 3) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty() || line.find_first_not_of('@') == std::string_view::npos) continue;
        lines.push_back(line);
    }
    std::string words;
    for (std::size_t i = lines.size() > shown ? lines.size() - shown : 0; i < lines.size(); ++i) {
        if (!words.empty()) words += " ";
        words += lines[i];
    }
    return AllControlCharsAsCodes(words);
}

}  // namespace

SshFailure SshFailure::Classify(const SshSettings& settings, std::string_view given, int exitCode,
                                std::string_view errorText) {
    SshFailure failure;
    const RemoteAddress& address = settings.address;
    const std::string port = address.port ? "-p " + std::to_string(*address.port) + " " : std::string();
    // known_hosts names a host on another port as [HOST]:PORT.
    const std::string known = address.port ? "[" + address.host + "]:" + std::to_string(*address.port) : address.host;
    const std::string& remoteCommand = settings.remoteCommand;
    const int connectTimeout = settings.connectTimeoutSeconds;
    std::string advice;
    if (Says(errorText, "REMOTE HOST IDENTIFICATION HAS CHANGED")) {
        failure.kind = Kind::ChangedHostKey;
        advice =
            "the host's key is not the one known_hosts holds for it: find out why before going on; if the "
            "change is expected, remove the old key (ssh-keygen -R '" +
            known + "') and add the new one after checking its fingerprint";
    } else if (Says(errorText, "Host key verification failed")) {
        failure.kind = Kind::UnknownHostKey;
        advice =
            "the host's key is not known here: after checking its fingerprint, add it with a first "
            "interactive `ssh " +
            port + address.Destination() + "` or `ssh-keyscan " + port + address.host + " >> ~/.ssh/known_hosts`";
    } else if (Says(errorText, "Permission denied")) {
        failure.kind = Kind::Refused;
        advice =
            "the remote accepted no key of this user without a prompt: give ssh a key the remote accepts "
            "(an agent, ssh-copy-id, or --ssh-option IdentityFile=FILE)";
    } else if (Says(errorText, "Could not resolve hostname")) {
        failure.kind = Kind::UnknownHost;
        advice = "check the host's name in --remote or TAMBERLO_REMOTE";
    } else if (Says(errorText, "Connection refused")) {
        failure.kind = Kind::NothingListening;
        advice = "nothing listens for ssh there: check the host and port, and that its sshd runs";
    } else if (Says(errorText, "timed out")) {
        failure.kind = Kind::TimedOut;
        advice = "the host did not answer within " + std::to_string(connectTimeout) +
                 " seconds: check the host, the network on the way, or raise --connect-timeout";
    } else if (exitCode < 0) {
        advice = "ssh was ended by a signal";
    } else if (exitCode == 127) {
        failure.kind = Kind::NoRemoteTamberlo;
        advice = "the remote has no command " + std::string(remoteCommand) +
                 ": install tamberlo there, or name it with --remote-command PATH";
    } else if (exitCode != 255) {
        failure.kind = Kind::NoRemoteSide;
        advice = std::string(remoteCommand) + " on the remote did not answer as tamberlo's remote side (exit code " +
                 std::to_string(exitCode) + "): install this tamberlo's version there, or name it with " +
                 "--remote-command PATH";
    } else {
        advice = "ssh ended with exit code " + std::to_string(exitCode);
    }
    // ssh's warning of a changed key is many lines: its headline and its
    // verdict say it.
    std::string words = failure.kind == Kind::ChangedHostKey
                            ? "WARNING: REMOTE HOST IDENTIFICATION HAS CHANGED! " + OwnWords(errorText, 2)
                            : OwnWords(errorText);
    while (!words.empty() && words.back() == '.') words.pop_back();
    failure.message = "ssh " + std::string(given) + ": " + (words.empty() ? std::string() : words + "; ") + advice;
    return failure;
}

}  // namespace tamberlo::remote
