#include "ChildProcess.h"

#include "ProcessProbe.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo::test {

namespace {

// posix_spawn's file actions and attributes, each with an owner.
class FileActions {
public:
    FileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ::posix_spawnattr_init(&attributes_); }
    ~SpawnAttributes() { ::posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

std::vector<std::string> EnvironmentOf(const ChildLaunch& launch) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = !launch.dropPrefix.empty() && name.substr(0, launch.dropPrefix.size()) == launch.dropPrefix;
        for (const auto& [key, value] : launch.environment) replaced = replaced || key == name;
        if (!replaced) environment.emplace_back(text);
    }
    for (const auto& [key, value] : launch.environment) environment.push_back(key + "=" + value);
    return environment;
}

std::vector<char*> PointersTo(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

struct ChildProcess::Native {
    pid_t pid = 0;
    bool waited = false;
};

ChildProcess::ChildProcess(const ChildLaunch& launch) : native_(std::make_unique<Native>()) {
    std::vector<std::string> arguments =
        launch.commandLine.empty() ? launch.arguments : SplitWindowsCommandLine(launch.commandLine);
    if (arguments.empty()) throw std::runtime_error("nothing to start");
    std::vector<std::string> environment = EnvironmentOf(launch);
    const std::vector<char*> argv = PointersTo(arguments);
    const std::vector<char*> envp = PointersTo(environment);

    // Every step is checked: a child started without its streams or its
    // session would make the checks below prove nothing.
    FileActions actions;
    const auto orNull = [](const std::string& path) { return path.empty() ? "/dev/null" : path.c_str(); };
    SpawnAttributes attributes;
    for (const int failed :
         {::posix_spawn_file_actions_addopen(actions.get(), 0, orNull(launch.input), O_RDONLY, 0),
          ::posix_spawn_file_actions_addopen(actions.get(), 1, orNull(launch.output), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644),
          ::posix_spawn_file_actions_addopen(actions.get(), 2, orNull(launch.error), O_WRONLY | O_CREAT | O_TRUNC,
                                             0644),
          launch.directory.empty() ? 0
                                   : ::posix_spawn_file_actions_addchdir_np(actions.get(), launch.directory.c_str()),
          // A session of its own, named after the child's id: once the child
          // has ended, only what it started can still be in it, whatever
          // process group each of those made for itself.
          ::posix_spawnattr_setflags(attributes.get(), POSIX_SPAWN_SETSID)}) {
        if (failed != 0) throw std::runtime_error(std::string("posix_spawn set-up: ") + std::strerror(failed));
    }

    const int failed = ::posix_spawn(&native_->pid, argv[0], actions.get(), attributes.get(), argv.data(), envp.data());
    if (failed != 0) throw std::runtime_error("posix_spawn " + arguments[0] + ": " + std::strerror(failed));
}

ChildProcess::~ChildProcess() {
    if (native_->waited) return;
    for (const unsigned long pid : reliability::ProcessesInSession(static_cast<unsigned long>(native_->pid)))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    ::kill(-native_->pid, SIGKILL);
    int status = 0;
    while (::waitpid(native_->pid, &status, 0) < 0 && errno == EINTR) {}
}

// To the child's process group, as a terminal sends Ctrl-C to its foreground group.
void ChildProcess::Interrupt() { ::kill(-native_->pid, SIGINT); }

void ChildProcess::Terminate() { ::kill(native_->pid, SIGTERM); }

void ChildProcess::Kill() { ::kill(native_->pid, SIGKILL); }

std::vector<unsigned long> ChildProcess::LeftInSession() const {
    return reliability::ProcessesInSession(static_cast<unsigned long>(native_->pid));
}

unsigned long ChildProcess::Id() const { return static_cast<unsigned long>(native_->pid); }

ChildResult ChildProcess::Wait() {
    if (native_->waited) throw std::logic_error("the child has been waited for already");
    int status = 0;
    while (::waitpid(native_->pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error(std::string("waitpid: ") + std::strerror(errno));
    }
    native_->waited = true;
    ChildResult result;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    result.exitCode = result.signal != 0 ? 128 + result.signal : WEXITSTATUS(status);
    result.leftProcesses = !reliability::ProcessesInSession(static_cast<unsigned long>(native_->pid)).empty();
    return result;
}

}  // namespace tamberlo::test
