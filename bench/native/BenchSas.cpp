#include "BenchSas.h"

#include "support/BenchText.h"
#include "support/Scratch.h"

#include <cstdio>
#include <cstdlib>

namespace tamberlo::bench {

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
