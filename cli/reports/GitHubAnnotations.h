#pragma once

#include "cli/findings/LogFindings.h"
#include "cli/findings/Verdict.h"
#include "cli/reports/SourceRoot.h"
#include "host/SessionEncoding.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// One run of a program as the annotations show it.
struct AnnotatedRun {
    std::string name;  // as the command's tables name it (command text)
    std::string file;  // the program file the findings' lines are of (command text); empty: none
    Verdict verdict = Verdict::Clean;
    const std::vector<Finding>* findings = nullptr;  // kept findings, in log order
    // Of the findings' texts and the included files' names.
    SessionEncoding encoding = SessionEncoding::PlatformDefault();
    std::string firstProblem;  // UTF-8: for a run that did not pass, where to look first
};

// What a GitHub Actions job shows of the runs: a workflow command on `out`
// per finding ("::error file=F,line=L,title=RULE::text", "::warning ..."),
// each on a line of its own, and a Markdown summary appended to the file
// that GITHUB_STEP_SUMMARY names. GitHub shows at most 10 error and 10
// warning annotations of a step: past that findings are only counted, and
// the summary says how many. A run that did not pass without an ERROR
// finding (an exit code, a Tamberlo error, a time limit, not run) gets an
// error annotation of its first problem, so that no failure goes unseen.
// Files are named relative to GITHUB_WORKSPACE when set, else to the
// current folder, with "/" between folders; links on the way to either are
// followed.
class GitHubAnnotations {
public:
    static constexpr std::size_t MaxPerKind = 10;
    // Rows of the summary's table of programs that did not pass: GitHub
    // refuses a step summary past 1 MiB whole, and a batch may have
    // thousands. The rest are counted under the table.
    static constexpr std::size_t MaxSummaryRows = 200;

    // On with --annotations github, off with none; without the option on
    // when GITHUB_ACTIONS is "true", as every GitHub Actions step has it.
    static bool Wanted(const std::optional<std::string>& option);

    explicit GitHubAnnotations(std::FILE* out);

    // Writes the run's annotations and counts it for the summary.
    void Add(const AnnotatedRun& run);

    // Appends the summary, headed `title`, to $GITHUB_STEP_SUMMARY (nothing
    // when it is unset or empty): false, said on standard error, when the
    // file cannot be written. What the file held before stays; the heading
    // starts a line of its own.
    bool AppendSummary(const std::string& title) const;

private:
    void Annotate(bool error, const std::string& file, std::optional<long> line, const std::string& title,
                  const std::string& message);
    std::string FileName(const std::string& commandText) const;

    std::FILE* out_;
    SourceRoot base_;                         // what file names are made relative to
    std::array<std::size_t, 2> written_{};    // errors, warnings
    std::array<std::size_t, 2> unwritten_{};  // past MaxPerKind
    std::array<std::size_t, 6> verdicts_{};   // runs by Verdict
    struct Row {
        std::string name;
        Verdict verdict;
        std::string problem;
    };
    std::vector<Row> notPassed_;  // at most MaxSummaryRows
    std::size_t notListed_ = 0;   // did not pass, past MaxSummaryRows
};

}  // namespace tamberlo::cli
