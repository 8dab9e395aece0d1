#include "LoadRun.h"

#include "automation/CodeRunner.h"
#include "engine/SASContract.h"
#include "host/Error.h"

#include <mutex>
#include <random>
#include <thread>

namespace tamberlo::reliability {

namespace {

// Begins every token of every run, in every process.
constexpr const char* TokenMarker = "tok:";

// Every occurrence of `tag` in `text` must begin `token`.
bool HoldsOnlyItsOwnTokens(const std::string& text, const std::string& tag, const std::string& token) {
    for (auto at = text.find(tag); at != std::string::npos; at = text.find(tag, at + 1)) {
        if (text.compare(at, token.size(), token) != 0) return false;
    }
    return true;
}

class Worker {
public:
    Worker(const LoadOptions& options, int thread) : options_(options), thread_(thread) {}

    // The switches differ between neighbouring threads, so that one thread's
    // settings showing on another would be seen.
    bool Clean() const { return thread_ % 2 == 0; }
    bool SafeFormChar() const { return (thread_ / 2) % 2 == 0; }

    void Run(LoadReport& report) {
        std::random_device device;
        CodeRunner runner;
        for (int run = 0; run < options_.runsPerThread; ++run) {
            const std::string token = TokenMarker + options_.tag + "-t" + std::to_string(thread_) + "-r" +
                                      std::to_string(run) + "-" + std::to_string(device()) + "-";
            try {
                OneRun(runner, token);
            } catch (const Error& error) {
                Fail(token,
                     "raised " + std::to_string(error.Number()) + " " + error.Source() + ": " + error.Description());
            } catch (const std::exception& error) {
                Fail(token, std::string("threw ") + error.what());
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        report.runs += runs_;
        report.files.insert(report.files.end(), files_.begin(), files_.end());
        report.failures.insert(report.failures.end(), failures_.begin(), failures_.end());
    }

private:
    void OneRun(CodeRunner& runner, const std::string& token) {
        runner.Reset();
        runner.SetCleanOutput(Clean());
        runner.SetSafeFormChar(SafeFormChar());
        runner.SetSASCode("data _null_; file _PUT1; put '" + token + "one\tcolumn'; run;");
        runner.SetSASCode("data _null_; file _PUT2; put '" + token + "two'; run;");
        runner.SetSASCode("%put log " + token + ";");
        runner.SetSASCode("data _null_; file print; put 'listing " + token + "'; run;");

        std::string logPath;
        RunControl control;
        control.whileRunning = [&](const std::string& path) { logPath = path; };
        const std::string status = runner.Execute(options_.sasRoot, "", control);
        ++runs_;
        if (status != "OK") Fail(token, "status " + status);

        const std::string one = runner.PutFile(1);
        const std::string expectedOne = token + (Clean() ? "one%9column\r\n" : "one\tcolumn\r\n");
        if (one != expectedOne) Fail(token, "_PUT1 holds '" + one + "'");
        const std::string two = runner.PutFile(2);
        if (two != token + "two\r\n") Fail(token, "_PUT2 holds '" + two + "'");

        const std::string log = runner.Log();
        if (log.find("\r\nlog " + token + "\r\n") == std::string::npos) Fail(token, "the log lacks its %put line");
        const bool formChar = log.find(sas::FormCharStatement) != std::string::npos;
        if (formChar != SafeFormChar()) Fail(token, formChar ? "formchar in the log" : "no formchar in the log");
        const std::string listing = runner.Lst();
        if (listing.find("listing " + token + "\r\n") == std::string::npos) Fail(token, "the listing lacks its line");
        for (const std::string* text : {&one, &two, &log, &listing}) {
            if (!HoldsOnlyItsOwnTokens(*text, TokenMarker, token)) Fail(token, "a text holds another run's token");
        }
        if (runner.CleanOutput() != Clean() || runner.SafeFormChar() != SafeFormChar())
            Fail(token, "the switches changed under the thread");

        files_.push_back(logPath);
        files_.push_back(runner.PutFile(1, true));
        files_.push_back(runner.PutFile(2, true));
    }

    // One line each, line breaks shown as \r and \n.
    void Fail(const std::string& token, const std::string& what) {
        std::string line = token + " ";
        for (const char c : what)
            line += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
        failures_.push_back(line);
    }

    const LoadOptions& options_;
    const int thread_;
    int runs_ = 0;
    std::vector<std::string> files_;
    std::vector<std::string> failures_;
    static std::mutex mutex_;
};

std::mutex Worker::mutex_;

}  // namespace

LoadReport RunLoad(const LoadOptions& options) {
    LoadReport report;
    std::vector<std::thread> threads;
    for (int t = 0; t < options.threads; ++t) {
        threads.emplace_back([&options, &report, t] { Worker(options, t).Run(report); });
    }
    for (std::thread& thread : threads) thread.join();
    return report;
}

}  // namespace tamberlo::reliability
