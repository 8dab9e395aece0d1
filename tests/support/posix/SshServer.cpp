#include "SshServer.h"

#include "ProcessProbe.h"
#include "TestSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tamberlo::test {
namespace {

constexpr const char* sshd = "/usr/sbin/sshd";
constexpr const char* keygen = "/usr/bin/ssh-keygen";

void MakeKey(const std::string& path) {
    std::filesystem::remove(path);
    std::filesystem::remove(path + ".pub");
    ChildLaunch launch;
    launch.arguments = {keygen, "-q", "-t", "ed25519", "-N", "", "-C", "tamberlo-test", "-f", path};
    const ChildResult made = RunChild(launch);
    if (made.exitCode != 0) throw std::runtime_error(std::string(keygen) + " could not make " + path);
}

// "ssh-ed25519 AAAA..." of a public key file, without its comment.
std::string KeyText(const std::string& publicKeyFile) {
    std::string text = ReadFile(publicKeyFile);
    const std::size_t space = text.find(' ');
    return text.substr(0, text.find(' ', space + 1));
}

// A port that nothing listens on at the server's address just now.
int FreePort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0) throw std::runtime_error("no socket for a free port");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, SshServer::Address, &address.sin_addr);
    socklen_t length = sizeof address;
    const bool found = ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(socket);
    if (!found) throw std::runtime_error(std::string("no free port on ") + SshServer::Address);
    return ntohs(address.sin_port);
}

// Every process below `pid`, children before their own children.
std::vector<unsigned long> Descendants(unsigned long pid) {
    std::vector<unsigned long> found = reliability::ChildProcessesOf(pid);
    for (std::size_t next = 0; next < found.size(); ++next) {
        const std::vector<unsigned long> below = reliability::ChildProcessesOf(found[next]);
        found.insert(found.end(), below.begin(), below.end());
    }
    return found;
}

// A process that has not ended (a zombie has).
bool Runs(unsigned long pid) {
    const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

}  // namespace

SshServer::SshServer(std::string folder, SshServerSettings settings) : folder_(std::move(folder)) {
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
    if (::access(sshd, X_OK) != 0)
        throw std::runtime_error(std::string(sshd) + " is missing: install openssh-server (scripts/install-deps.sh)");
    std::filesystem::create_directories(folder_);
    // sshd started by root wants its privilege separation folder, which the
    // package's service would make at boot.
    if (::geteuid() == 0) ::mkdir("/run/sshd", 0755);
    MakeKey(folder_ + "host_key");
    MakeKey(folder_ + "user_key");
    WriteFile(folder_ + "authorized_keys", ReadFile(folder_ + "user_key.pub"));
    // Another test may take the free port between the look and sshd's bind.
    for (int attempt = 0; attempt < 5; ++attempt) {
        port_ = FreePort();
        WriteFiles(settings);
        if (Start()) return;
    }
    throw std::runtime_error("sshd did not start: " + ReadFile(folder_ + "sshd.log"));
}

SshServer::~SshServer() {
    KillSessions();
    // ChildProcess kills sshd itself (and its session) and waits for it.
    sshd_.reset();
}

std::string SshServer::Destination() const { return std::string(Address) + ":" + std::to_string(port_); }

std::vector<std::string> SshServer::ClientOptions() const {
    return {"IdentityFile=" + folder_ + "user_key", "IdentitiesOnly=yes", "UserKnownHostsFile=" + KnownHosts(),
            "GlobalKnownHostsFile=/dev/null"};
}

void SshServer::WriteFiles(const SshServerSettings& settings) const {
    std::string config = "ListenAddress " + Destination() + "\nHostKey " + folder_ + "host_key\nAuthorizedKeysFile " +
                         folder_ + "authorized_keys\nPidFile " + folder_ +
                         "sshd.pid\n"
                         "UsePAM no\nStrictModes no\nPubkeyAuthentication yes\nPasswordAuthentication no\n"
                         "KbdInteractiveAuthentication no\nPermitRootLogin prohibit-password\nX11Forwarding no\n"
                         "PrintMotd no\nMaxStartups 100\nMaxSessions " +
                         std::to_string(settings.maxSessions) + "\n";
    // Every process of a session carries the server's mark, so that one
    // that left sshd's tree (a daemon, an orphan) is still found at the end.
    config += "SetEnv \"" + Mark() + "\"";
    for (const auto& [name, value] : settings.environment) config += " \"" + name + "=" + value + "\"";
    config += "\n";
    WriteFile(folder_ + "sshd_config", config);
    WriteFile(folder_ + "known_hosts", "[" + std::string(Address) + "]:" + std::to_string(port_) + " " +
                                           KeyText(folder_ + "host_key.pub") + "\n");
    std::string client = "Host *\n";
    for (const std::string& option : ClientOptions()) client += "  " + option + "\n";
    WriteFile(folder_ + "ssh_config", client + "  Port " + std::to_string(port_) + "\n");
}

bool SshServer::Start() {
    ChildLaunch launch;
    launch.arguments = {sshd, "-D", "-e", "-f", folder_ + "sshd_config"};
    launch.error = folder_ + "sshd.log";
    sshd_ = std::make_unique<ChildProcess>(launch);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string log = ReadFile(folder_ + "sshd.log");
        if (log.find("Server listening on") != std::string::npos) return true;
        if (log.find("Bind to port") != std::string::npos || log.find("Cannot bind") != std::string::npos) break;
        if (log.find("fatal") != std::string::npos || log.find("terminating") != std::string::npos)
            throw std::runtime_error("sshd did not start: " + log);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sshd_.reset();
    return false;
}

void SshServer::ForgetHostKey() const { WriteFile(KnownHosts(), ""); }

void SshServer::ChangeHostKey() const {
    const std::string other = folder_ + "other_host_key";
    MakeKey(other);
    WriteFile(KnownHosts(),
              "[" + std::string(Address) + "]:" + std::to_string(port_) + " " + KeyText(other + ".pub") + "\n");
}

void SshServer::RefuseUserKey() const { WriteFile(folder_ + "authorized_keys", ""); }

std::string SshServer::Mark() const { return "TAMBERLO_TEST_SSHD=" + folder_; }

std::vector<unsigned long> SshServer::SessionProcesses() const {
    if (!sshd_) return {};
    std::vector<unsigned long> found = Descendants(sshd_->Id());
    const std::string mark = Mark();
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string environment = ReadFile("/proc/" + name + "/environ");
        const unsigned long pid = std::stoul(name);
        if (environment.find(std::string(1, '\0') + mark + '\0') == std::string::npos &&
            environment.rfind(mark + '\0', 0) != 0)
            continue;
        if (Runs(pid) && std::find(found.begin(), found.end(), pid) == found.end()) found.push_back(pid);
    }
    return found;
}

void SshServer::KillConnections() const {
    if (!sshd_) return;
    for (const unsigned long pid : Descendants(sshd_->Id())) {
        const std::string name = ReadFile("/proc/" + std::to_string(pid) + "/comm");
        if (name.rfind("sshd", 0) == 0) ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
}

void SshServer::KillSessions() const {
    const std::vector<unsigned long> sessions = SessionProcesses();
    for (const unsigned long pid : sessions) ::kill(static_cast<pid_t>(pid), SIGKILL);
    // A killed process goes a moment later: wait, so that the caller finds
    // them gone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const unsigned long pid : sessions) {
        while (Runs(pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace tamberlo::test
