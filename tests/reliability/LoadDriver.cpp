// One process of the load: runs the threads of RunLoad and writes what it
// saw to a report file, for the test that starts several of these at once.
//   load-driver <SAS root> <threads> <runs per thread> <tag> <report file>
// The report: "runs <n>", then "file <path>" for every file a run used, then
// "failure <text>" for every check that failed. Exit code 0 when no check
// failed, 1 when one did, 2 on bad usage.
#include "LoadRun.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: load-driver <SAS root> <threads> <runs per thread> <tag> <report file>\n");
        return 2;
    }
    tamberlo::reliability::LoadOptions options;
    options.sasRoot = argv[1];
    options.threads = std::atoi(argv[2]);
    options.runsPerThread = std::atoi(argv[3]);
    options.tag = argv[4];
    const tamberlo::reliability::LoadReport report = tamberlo::reliability::RunLoad(options);

    std::FILE* out = std::fopen(argv[5], "wb");
    if (out == nullptr) return 2;
    std::fprintf(out, "runs %d\n", report.runs);
    for (const std::string& file : report.files) std::fprintf(out, "file %s\n", file.c_str());
    for (const std::string& failure : report.failures) std::fprintf(out, "failure %s\n", failure.c_str());
    std::fclose(out);
    return report.failures.empty() ? 0 : 1;
}
