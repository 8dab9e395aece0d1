#pragma once

// A real OpenSSH server for the tests of remote runs (POSIX only; Debian's
// openssh-server, /usr/sbin/sshd).

#include "ChildProcess.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tamberlo::test {

struct SshServerSettings {
    int maxSessions = 10;  // sshd's MaxSessions
    // Set in every session's environment (sshd's SetEnv), e.g. TMPDIR and
    // TAMBERLO_GUARD for the remote's own tamberlo.
    std::vector<std::pair<std::string, std::string>> environment;
};

// sshd on 127.0.0.2 and a free port, run as the current user (root too)
// from a folder of its own: a host key, a user key, authorized_keys, a
// known_hosts that lists the host key, its sshd_config and log, and an
// ssh_config for the client. Started by the constructor, which returns once
// it accepts connections (throws std::runtime_error, with sshd's log, when
// it does not); stopped, with every process it started, by the destructor.
//   SshServer server(Work("sshd"));
//   Run({"--remote", server.Destination(), "--ssh-option", server.ClientOptions()[0], ...});
class SshServer {
public:
    static constexpr const char* Address = "127.0.0.2";

    // `folder` is made (it must not hold an earlier server's files).
    explicit SshServer(std::string folder, SshServerSettings settings = {});
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    int Port() const noexcept { return port_; }
    // "127.0.0.2:PORT", as --remote takes it.
    std::string Destination() const;
    // The client's ssh options ("IdentityFile=...", "UserKnownHostsFile=...",
    // ...), each as one `ssh -o` value: what reaches this server and trusts it.
    std::vector<std::string> ClientOptions() const;
    // The same as an ssh_config file, for `ssh -F`.
    std::string ClientConfig() const { return folder_ + "ssh_config"; }
    std::string KnownHosts() const { return folder_ + "known_hosts"; }

    // Faults: the client no longer knows the host key; it knows another key
    // for this host; the server no longer accepts the user's key.
    void ForgetHostKey() const;
    void ChangeHostKey() const;
    void RefuseUserKey() const;

    // What sshd started for its connections (their sshd processes and the
    // commands run in them, found by the mark sshd sets in their
    // environment even when they left its tree), still running.
    std::vector<unsigned long> SessionProcesses() const;
    // Kills every process of the sessions; the server goes on listening.
    void KillSessions() const;
    // Kills only sshd's own processes of the connections, as a network that
    // goes would end them: the commands they ran lose their connection.
    void KillConnections() const;

private:
    void WriteFiles(const SshServerSettings& settings) const;
    bool Start();
    // "TAMBERLO_TEST_SSHD=<folder>", in every session's environment.
    std::string Mark() const;

    std::string folder_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> sshd_;
};

}  // namespace tamberlo::test
