#include "cli/batch/ReportSet.h"

#include "cli/CommandText.h"
#include "cli/UsageError.h"
#include "cli/batch/BatchCommandLine.h"
#include "cli/batch/HtmlReport.h"

#include <filesystem>
#include <string>
#include <utility>

namespace tamberlo::cli {
namespace {

// The reports asked for: option and name as given.
struct ReportRequest {
    const char* option;
    const std::optional<std::string>& name;
};

// The file a report goes to, named after the shard. A name that is a folder,
// or ends as one, is refused as given, shard or not.
std::optional<std::string> ReportName(const ReportRequest& report, const std::optional<Shard>& shard) {
    if (!report.name) return std::nullopt;
    const std::filesystem::path path = commandtext::ToPath(*report.name);
    std::error_code ec;
    if (!path.has_filename() || path.filename() == "." || path.filename() == ".." ||
        std::filesystem::is_directory(path, ec)) {
        throw UsageError(std::string(report.option) + " " + *report.name + ": is a folder");
    }
    return BatchCommandLine::ReportFileName(*report.name, shard);
}

}  // namespace

ReportSet::ReportSet(const BatchOptions& options, const std::function<void(OutputNames&)>& others) {
    const std::optional<std::string> junitName = ReportName({"--junit", options.junitFile}, options.shard);
    const std::optional<std::string> jsonName = ReportName({"--json", options.jsonFile}, options.shard);
    const std::optional<std::string> htmlName = ReportName({"--html", options.htmlFile}, options.shard);
    std::vector<std::pair<const char*, std::string>> reports;
    if (junitName) reports.emplace_back("--junit", *junitName);
    if (jsonName) reports.emplace_back("--json", *jsonName);
    if (htmlName) reports.emplace_back("--html", *htmlName);
    if (!reports.empty()) {
        OutputNames names;
        others(names);
        for (const auto& [option, name] : reports) names.AddOutput(std::string(option) + " " + name, name);
    }
    // Nothing is created before here.
    if (junitName) junit_.emplace(*junitName, "--junit");
    if (jsonName) json_.emplace(*jsonName, "--json");
    if (htmlName) html_.emplace(*htmlName, "--html");
}

bool ReportSet::Write(const BatchSummary& summary, const std::vector<ProgramOutcome>& outcomes, bool filesStay) {
    bool written = true;
    if (junit_) written &= junit_->Write([&](std::ostream& out) { WriteJUnitReport(out, summary, outcomes); });
    if (json_) written &= json_->Write([&](std::ostream& out) { WriteJsonReport(out, summary, outcomes); });
    if (html_)
        written &= html_->Write(
            [&](std::ostream& out) { WriteHtmlReport(out, summary, outcomes, html_->Name(), filesStay); });
    return written;
}

}  // namespace tamberlo::cli
