#include "BenchSas.h"

#include "engine/Engine.h"
#include "engine/SASContract.h"
#include "host/CommandLine.h"
#include "support/BenchText.h"
#include "support/Scratch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamberlo::bench {

void StartAndWait(std::vector<std::string>& args, const std::string& consoleFile) {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (!consoleFile.empty()) {
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, consoleFile.c_str(),
                                           O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0600);
        ::posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    }
    pid_t child = 0;
    const int failure = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (failure != 0) {
        std::fprintf(stderr, "bench: cannot start %s\n", argv[0]);
        std::exit(2);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
}

DirectStart::DirectStart(const std::string& base, std::string programText)
    : programText_(std::move(programText)),
      program_(base + ".sas"),
      log_(base + ".log"),
      listing_(base + ".lst"),
      console_(base + ".txt"),
      args_(SplitCommandLine(Engine::BuildCommandLine(
          RunSasRoot() + sas::ExecutableName, RunSasRoot() + sas::DefaultConfigFileName, program_, listing_, log_))) {}

void DirectStart::Run() {
    WriteFile(program_, programText_);
    Start();
    DeleteFiles();
}

Timing DirectStart::TimeStartAlone() {
    WriteFile(program_, programText_);
    const Timing timing = TimeOf([&] { Start(); });
    DeleteFiles();
    return timing;
}

void DirectStart::Start() { StartAndWait(args_, sas::CapturesConsole ? console_ : std::string()); }

void DirectStart::DeleteFiles() {
    ::unlink(program_.c_str());
    ::unlink(log_.c_str());
    ::unlink(listing_.c_str());
    if (sas::CapturesConsole) ::unlink(console_.c_str());
}

const std::string& RunSasRoot() {
    static const std::string root = TAMBERLO_BENCH_RUN_SAS_ROOT "/";
    return root;
}

const char* RunSasName() { return TAMBERLO_BENCH_RUN_SAS_NAME; }

const std::string& LinkingSasRoot() {
    static const std::string root = TAMBERLO_BENCH_LINKING_SAS_ROOT "/";
    return root;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    if (const char* previous = std::getenv(name)) previous_ = previous;
    ::setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
    if (previous_) {
        ::setenv(name_, previous_->c_str(), 1);
    } else {
        ::unsetenv(name_);
    }
}

std::string ProgramReferringToPutFiles(int count) {
    std::string program = "data _null_; put 'hello'; run;";
    if (count == 0) return program;
    program += "\r\n/*";
    for (int n = 1; n <= count; ++n) program += " _PUT" + std::to_string(n);
    program += " */";
    return program;
}

void ExecuteOrAbort(CodeRunner& runner, const std::string& root) {
    const std::string status = runner.Execute(root, "");
    if (status != "OK") {
        std::fprintf(stderr, "bench: a run against %s returned '%s'\n", root.c_str(), status.c_str());
        std::exit(2);
    }
}

std::vector<std::string> PutFilePaths(CodeRunner& runner, int count) {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    for (int n = 1; n <= count; ++n) paths.push_back(runner.PutFile(static_cast<std::int16_t>(n), true));
    return paths;
}

void FillPutFiles(CodeRunner& runner, int count, std::size_t bytes) {
    const std::string data = MakeDataLines(bytes);
    for (const std::string& path : PutFilePaths(runner, count)) WriteFile(path, data);
}

}  // namespace tamberlo::bench
