#include "ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace tamberlo::standin::test {

namespace {

// posix_spawn_file_actions_t with an owner.
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

std::string NameOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

}  // namespace

int ChildProcess::Run(const Launch& launch) {
    std::vector<std::string> arguments = SplitCommandLine(launch.commandLine);
    if (arguments.empty()) throw std::runtime_error("empty command line");

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = NameOf(*entry);
        bool replaced = name.rfind("TAMBERLO_STANDIN_", 0) == 0;
        for (const auto& [key, value] : launch.environment) replaced = replaced || key == name;
        if (!replaced) environment.emplace_back(*entry);
    }
    for (const auto& [key, value] : launch.environment) environment.push_back(key + "=" + value);

    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    FileActions actions;
    const auto orNull = [](const std::string& path) { return path.empty() ? "/dev/null" : path.c_str(); };
    ::posix_spawn_file_actions_addopen(actions.get(), 0, orNull(launch.input), O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(actions.get(), 1, orNull(launch.output), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::posix_spawn_file_actions_addopen(actions.get(), 2, orNull(launch.error), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!launch.directory.empty()) ::posix_spawn_file_actions_addchdir_np(actions.get(), launch.directory.c_str());

    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), envp.data());
    if (failed != 0) throw std::runtime_error("posix_spawn " + arguments[0] + ": " + std::strerror(failed));

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

}  // namespace tamberlo::standin::test
