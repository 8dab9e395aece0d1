#include "cli/reports/GitHubAnnotations.h"

#include "cli/base/CommandText.h"
#include "cli/base/Console.h"
#include "cli/reports/ReportText.h"
#include "host/ControlChars.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>

namespace tamberlo::cli {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : commandtext::FromHost(value);
}

struct Replacement {
    char character;
    const char* with;
};

// The text with each character of the table replaced.
std::string Replaced(std::string_view text, std::initializer_list<Replacement> table) {
    std::string replaced;
    for (const char c : text) {
        const auto* found =
            std::find_if(table.begin(), table.end(), [c](const Replacement& entry) { return entry.character == c; });
        if (found == table.end()) {
            replaced += c;
        } else {
            replaced += found->with;
        }
    }
    return replaced;
}

// A workflow command's message: "%", CR and LF escaped, as the runner reads
// them back; other control characters shown as the cleaned logs show them,
// so that the job's log shows what the terminal would.
std::string EscapedMessage(std::string_view text) {
    return Replaced(CleanEveryControlChar(text), {{'%', "%25"}, {'\r', "%0D"}, {'\n', "%0A"}});
}

// A property's value: also ":" and ",", which end a property.
std::string EscapedProperty(std::string_view text) {
    return Replaced(EscapedMessage(text), {{':', "%3A"}, {',', "%2C"}});
}

// Text in a Markdown table cell: nothing in it may end the cell or the row,
// or open code; markup and entities are escaped as the reports escape them.
std::string MarkdownCell(std::string_view text) {
    return report_text::Xml(
        Replaced(CleanEveryControlChar(text), {{'|', "\\|"}, {'`', "\\`"}, {'\\', "\\\\"}, {'\r', " "}, {'\n', " "}}));
}

bool Passed(Verdict verdict) { return verdict == Verdict::Clean || verdict == Verdict::Warnings; }

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

// True when `file` (a regular file open to read and append) holds text
// whose last line has no line break: what is appended would go on that
// line. False for an empty file.
bool EndsInOpenLine(std::FILE* file) {
    bool open = false;
    if (std::fseek(file, -1, SEEK_END) == 0) open = std::fgetc(file) != '\n';
    // Reading and writing take turns only over a seek; appending writes
    // at the end wherever it is.
    std::clearerr(file);
    std::fseek(file, 0, SEEK_END);
    return open;
}

}  // namespace

bool GitHubAnnotations::Wanted(const std::optional<std::string>& option) {
    if (option) return *option == "github";
    return Environment("GITHUB_ACTIONS") == "true";
}

// Empty GITHUB_WORKSPACE: the current folder.
GitHubAnnotations::GitHubAnnotations(std::FILE* out) : out_(out), base_(Environment("GITHUB_WORKSPACE")) {}

// A file relative to the base when it lies below it, else as an absolute
// name; "/" between folders on every system. Links are resolved on both
// sides alike, as for the code-scanning reports' source root: a workspace
// reached through a link still holds its files.
std::string GitHubAnnotations::FileName(const std::string& commandText) const { return base_.Locate(commandText).path; }

void GitHubAnnotations::Annotate(bool error, const std::string& file, std::optional<long> line,
                                 const std::string& title, const std::string& message) {
    const std::size_t kind = error ? 0 : 1;
    if (written_[kind] == MaxPerKind) {
        ++unwritten_[kind];
        return;
    }
    ++written_[kind];
    std::string command = error ? "::error " : "::warning ";
    std::string properties;
    if (!file.empty()) properties += "file=" + EscapedProperty(file);
    if (!file.empty() && line) properties += ",line=" + std::to_string(*line);
    if (!title.empty()) properties += (properties.empty() ? "title=" : ",title=") + EscapedProperty(title);
    command += properties + "::" + EscapedMessage(message) + "\n";
    std::fwrite(command.data(), 1, command.size(), out_);
}

void GitHubAnnotations::Add(const AnnotatedRun& run) {
    ++verdicts_[static_cast<std::size_t>(run.verdict)];
    const std::string programFile = run.file.empty() ? std::string() : FileName(run.file);
    bool errorShown = false;
    if (run.findings != nullptr) {
        for (const Finding& finding : *run.findings) {
            const bool error = finding.kind == LogLineClassifier::Kind::Error;
            errorShown |= error;
            const std::string file =
                finding.includedFile.empty() ? programFile : FileName(run.encoding.ToUtf8(finding.includedFile));
            Annotate(error, file, finding.programLine, finding.ruleId, run.encoding.ToUtf8(finding.text));
        }
    }
    if (Passed(run.verdict)) return;
    if (!errorShown) Annotate(true, programFile, std::nullopt, VerdictText(run.verdict), run.firstProblem);
    if (notPassed_.size() < MaxSummaryRows) {
        notPassed_.push_back({run.name, run.verdict, run.firstProblem});
    } else {
        ++notListed_;
    }
    std::fflush(out_);
}

bool GitHubAnnotations::AppendSummary(const std::string& title) const {
    std::fflush(out_);
    const std::string name = Environment("GITHUB_STEP_SUMMARY");
    if (name.empty()) return true;
    std::string text = "## ";
    text.append(MarkdownCell(title)).append("\n\n");
    std::size_t runs = 0;
    for (const std::size_t count : verdicts_) runs += count;
    text += std::to_string(runs) + " programs: ";
    for (std::size_t verdict = 0; verdict < verdicts_.size(); ++verdict) {
        text += (verdict == 0 ? "" : ", ") + std::to_string(verdicts_[verdict]) + " " +
                VerdictText(static_cast<Verdict>(verdict));
    }
    text += "\n";
    if (!notPassed_.empty()) {
        text += "\n| program | verdict | first problem |\n| --- | --- | --- |\n";
        for (const Row& row : notPassed_) {
            text += "| " + MarkdownCell(commandtext::ToUtf8(row.name)) + " | " + VerdictText(row.verdict) + " | " +
                    MarkdownCell(row.problem) + " |\n";
        }
    }
    if (notListed_ > 0) {
        text += "\n" + std::to_string(notListed_) + " more programs did not pass: the reports list them all.\n";
    }
    if (unwritten_[0] + unwritten_[1] > 0) {
        text.append("\n").append(std::to_string(unwritten_[0])).append(" more errors and ");
        text.append(std::to_string(unwritten_[1])).append(" more warnings are not annotated: GitHub shows ");
        text.append(std::to_string(MaxPerKind)).append(" of each kind per step.\n");
    }
    text += "\n";
    // A regular file is read too, to see how it ends; a file that can only
    // be written is appended to as it ends. Anything else (a pipe, a device)
    // is only written: opened to read, a pipe would not wait for its reader.
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(commandtext::ToPath(name), ec);
    std::unique_ptr<std::FILE, FileCloser> file(regular ? console::OpenFile(name, "a+b") : nullptr);
    if (file) {
        if (EndsInOpenLine(file.get())) text.insert(0, "\n");
    } else {
        file.reset(console::OpenFile(name, "ab"));
    }
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size() || std::fflush(file.get()) != 0) {
        std::fprintf(stderr, "tamberlo: GITHUB_STEP_SUMMARY %s: cannot write: %s\n",
                     console::ForTerminal(AllControlCharsAsCodes(name)).c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace tamberlo::cli
