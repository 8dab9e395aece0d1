#include "cli/reports/ReportSet.h"

#include "cli/base/CommandText.h"
#include "cli/base/UsageError.h"
#include "cli/reports/CodeQualityReport.h"
#include "cli/reports/HtmlReport.h"
#include "cli/reports/SarifReport.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

namespace tamberlo::cli {

struct ReportKind {
    const char* option;
    // The name the options give it; `jsonFile` is the batch's --json FILE.
    const std::optional<std::string>& (*name)(const ReportOptions& options, const std::optional<std::string>& jsonFile);
    // `file` is the report's own name.
    void (*write)(std::ostream& out, const BatchSummary& summary, const OutcomeSequence& outcomes,
                  const std::string& file);
    bool showsListings;
};

namespace {

using Name = const std::optional<std::string>&;
using Outcomes = const OutcomeSequence&;

// Every kind, in the order the reports are checked, made and written.
constexpr ReportKind kinds[] = {
    {"--junit", [](const ReportOptions& options, Name) -> Name { return options.junitFile; },
     [](std::ostream& out, const BatchSummary& summary, Outcomes outcomes, const std::string&) {
         WriteJUnitReport(out, summary, outcomes);
     },
     false},
    {"--json", [](const ReportOptions&, Name jsonFile) -> Name { return jsonFile; },
     [](std::ostream& out, const BatchSummary& summary, Outcomes outcomes, const std::string&) {
         WriteJsonReport(out, summary, outcomes);
     },
     false},
    {"--html", [](const ReportOptions& options, Name) -> Name { return options.htmlFile; },
     [](std::ostream& out, const BatchSummary& summary, Outcomes outcomes, const std::string& file) {
         WriteHtmlReport(out, summary, outcomes, file, summary.logsStay);
     },
     true},
    {"--sarif", [](const ReportOptions& options, Name) -> Name { return options.sarifFile; },
     [](std::ostream& out, const BatchSummary& summary, Outcomes outcomes, const std::string&) {
         WriteSarifReport(out, summary, outcomes);
     },
     false},
    {"--codequality", [](const ReportOptions& options, Name) -> Name { return options.codeQualityFile; },
     [](std::ostream& out, const BatchSummary& summary, Outcomes outcomes, const std::string&) {
         WriteCodeQualityReport(out, summary, outcomes);
     },
     false},
};

// The file a report goes to, named after the shard. A name that is a folder,
// or ends as one, is refused as given, shard or not.
std::string ReportName(const char* option, const std::string& given, const std::optional<Shard>& shard) {
    const std::filesystem::path path = commandtext::ToPath(given);
    std::error_code ec;
    if (!path.has_filename() || path.filename() == "." || path.filename() == ".." ||
        std::filesystem::is_directory(path, ec)) {
        throw UsageError(std::string(option) + " " + given + ": is a folder");
    }
    return ReportFileName(given, shard);
}

}  // namespace

bool ReportSet::Requested(const ReportOptions& options, const std::optional<std::string>& jsonFile) {
    return std::any_of(std::begin(kinds), std::end(kinds),
                       [&](const ReportKind& kind) { return kind.name(options, jsonFile).has_value(); });
}

ReportSet::ReportSet(const ReportOptions& options, const std::optional<std::string>& jsonFile,
                     const std::optional<Shard>& shard, OutputNames& names) {
    std::vector<std::pair<const ReportKind*, std::string>> named;
    for (const ReportKind& kind : kinds) {
        if (const std::optional<std::string>& given = kind.name(options, jsonFile))
            named.emplace_back(&kind, ReportName(kind.option, *given, shard));
    }
    for (const auto& [kind, name] : named) names.AddOutput(std::string(kind->option) + " " + name, name);
    // Nothing is created before here.
    try {
        for (const auto& [kind, name] : named)
            reports_.push_back({kind, std::make_unique<ReportFile>(name, kind->option)});
    } catch (...) {
        RemoveLastFirst();
        throw;
    }
}

ReportSet::~ReportSet() { RemoveLastFirst(); }

void ReportSet::RemoveLastFirst() noexcept {
    while (!reports_.empty()) reports_.pop_back();
}

bool ReportSet::ShowsListings() const noexcept {
    return std::any_of(reports_.begin(), reports_.end(),
                       [](const Report& report) { return report.kind->showsListings; });
}

bool ReportSet::Write(const BatchSummary& summary, const OutcomeSequence& outcomes) {
    bool written = true;
    for (const Report& report : reports_) {
        written &= report.file->Write(
            [&](std::ostream& out) { report.kind->write(out, summary, outcomes, report.file->Name()); });
    }
    return written;
}

std::string ReportFileName(const std::string& file, const std::optional<Shard>& shard) {
    if (!shard) return file;
    const std::filesystem::path path = commandtext::ToPath(file);
    const std::string suffix = "-" + std::to_string(shard->index) + "of" + std::to_string(shard->count);
    std::string stem = path.stem().string();
    std::string extension = path.extension().string();
    // ".xml" is all extension: "1of3.xml", not ".xml-1of3".
    if (extension.empty() && stem.size() > 1 && stem.front() == '.') std::swap(stem, extension);
    std::filesystem::path named = path;
    named.replace_filename(
        commandtext::ToPath(stem.empty() ? suffix.substr(1) + extension : stem + suffix + extension));
    return named.string();
}

}  // namespace tamberlo::cli
