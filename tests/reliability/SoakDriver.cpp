// Many runs in one process, one after the other, with the open descriptors
// (handles on Windows) and the resident memory taken after a warm-up and at
// the end: both must stay flat.
//   soak-driver <SAS root> <runs> [--rss-limit-kib <n>] [--com <Tamberlo.dll>]
// Prints the figures. Exit code 0 when every run checked out, the descriptor
// count ended where it was after the warm-up and the resident memory grew by
// no more than the limit (0, the default: not judged); 1 otherwise; 2 on bad
// usage.
#include "ProcessProbe.h"
#include "SoakTarget.h"

#include "automation/CodeRunner.h"
#include "host/Error.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace tamberlo;
using namespace tamberlo::reliability;

namespace tamberlo::reliability {

std::string SoakProgram(const std::string& token) {
    return "data _null_; file _PUT1; put '" + token +
           "\tone'; run;\r\n"
           "data _null_; file _PUT2; put '" +
           token +
           " two'; run;\r\n"
           "%put log " +
           token +
           ";\r\n"
           "data _null_; file print; put 'listing " +
           token + "'; run;";
}

std::string SoakPutFileOne(const std::string& token) { return token + "%9one\r\n"; }

}  // namespace tamberlo::reliability

namespace {

class CoreTarget : public SoakTarget {
public:
    explicit CoreTarget(std::string sasRoot) : sasRoot_(std::move(sasRoot)) {}

    std::string Run(int number) override {
        const std::string token = "soak" + std::to_string(number) + "x";
        try {
            runner_.Reset();
            runner_.SetSASCode(SoakProgram(token));
            if (runner_.Execute(sasRoot_) != "OK") return "status " + runner_.LastExecuteReturnValue();
            if (runner_.PutFile(1) != SoakPutFileOne(token)) return "_PUT1 holds " + runner_.PutFile(1);
            if (runner_.Log().find("log " + token) == std::string::npos) return "the log lacks its line";
            if (runner_.Lst().find("listing " + token) == std::string::npos) return "the listing lacks its line";
            runner_.PutFile(2, true);
            runner_.DebugInfo();
            if (number % 10 == 0) {
                if (std::string wrong = TakeTheErrorPaths(); !wrong.empty()) return wrong;
            }
        } catch (const Error& error) {
            return "raised " + std::to_string(error.Number()) + ": " + error.Description();
        }
        return {};
    }

private:
    // Each of these must fail with its own error, and leave nothing behind
    // when it does. Returns what went otherwise, or nothing.
    std::string TakeTheErrorPaths() {
        const auto failsWith = [](long number, const auto& call) {
            try {
                call();
            } catch (const Error& error) {
                return error.Number() == number;
            }
            return false;
        };
        // Its own program, so that the wrong root, not the put files of the
        // run before (457), is what fails.
        runner_.Reset();
        runner_.SetSASCode("%put wrong root;");
        if (!failsWith(1, [&] { runner_.Execute(sasRoot_ + "missing"); })) return "a wrong root did not raise 1";
        if (!failsWith(1, [&] { runner_.SetSASCode("no-such-program.sas"); })) return "a missing file did not raise 1";
        if (!failsWith(5, [&] { runner_.PutFile(7); })) return "_PUT7 did not raise 5";
        return {};
    }

    std::string sasRoot_;
    CodeRunner runner_;
};

struct Figures {
    std::size_t handles;
    std::size_t residentKiB;
};

Figures Take() { return {OpenHandleCount(), ResidentBytes() / 1024}; }

void Print(const char* when, int runs, const Figures& figures) {
    std::printf("%-8s runs %5d  %s %4zu  resident %7zu KiB\n", when, runs,
#ifdef _WIN32
                "handles",
#else
                "descriptors",
#endif
                figures.handles, figures.residentKiB);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: soak-driver <SAS root> <runs> [--rss-limit-kib <n>] [--com <Tamberlo.dll>]\n");
        return 2;
    }
    const std::string sasRoot = argv[1];
    const int runs = std::atoi(argv[2]);
    std::size_t rssLimitKiB = 0;
    std::string dll;
    for (int i = 3; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--rss-limit-kib") == 0) {
            rssLimitKiB = static_cast<std::size_t>(std::atol(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--com") == 0) {
            dll = argv[i + 1];
        } else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }

    std::unique_ptr<SoakTarget> target;
#ifdef _WIN32
    if (!dll.empty()) target = MakeComSoakTarget(dll, sasRoot);
#endif
    if (!target) {
        if (!dll.empty()) {
            std::fprintf(stderr, "--com needs the Windows build\n");
            return 2;
        }
        target = std::make_unique<CoreTarget>(sasRoot);
    }

    // The first runs settle what is made once (the allocator's pools, a
    // locale, loaded libraries); growth is counted from there.
    const int warmUp = runs < 500 ? runs / 10 : 50;
    int failures = 0;
    Figures settled{};
    const auto start = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        const std::string failure = target->Run(run);
        if (!failure.empty()) {
            if (++failures <= 10) std::printf("run %d: %s\n", run, failure.c_str());
        }
        if (run == warmUp) {
            settled = Take();
            Print("settled", run, settled);
        } else if (run % 500 == 0 && run != runs) {
            Print("", run, Take());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    target.reset();
    const Figures end = Take();
    Print("end", runs, end);
    std::printf("%d runs in %.1f s (%.1f ms a run), %d failed\n", runs, seconds, 1000.0 * seconds / runs, failures);

    bool flat = true;
    if (end.handles > settled.handles) {
        std::printf("FAIL: %zu more open after the runs than after the warm-up\n", end.handles - settled.handles);
        flat = false;
    }
    if (rssLimitKiB != 0 && end.residentKiB > settled.residentKiB + rssLimitKiB) {
        std::printf("FAIL: resident memory grew by %zu KiB, more than %zu KiB\n", end.residentKiB - settled.residentKiB,
                    rssLimitKiB);
        flat = false;
    }
    return failures == 0 && flat ? 0 : 1;
}
