#include "cli/reports/ReportSet.h"

#include "cli/base/CommandText.h"
#include "cli/base/UsageError.h"
#include "cli/reports/CodeQualityReport.h"
#include "cli/reports/HtmlReport.h"
#include "cli/reports/SarifReport.h"

#include <filesystem>
#include <system_error>

namespace tamberlo::cli {
namespace {

struct Request {
    const char* option;
    const std::optional<std::string>& name;
    std::optional<ReportFile>& file;
};

// The file a report goes to, named after the shard. A name that is a folder,
// or ends as one, is refused as given, shard or not.
std::string ReportName(const Request& report, const std::optional<Shard>& shard) {
    const std::filesystem::path path = commandtext::ToPath(*report.name);
    std::error_code ec;
    if (!path.has_filename() || path.filename() == "." || path.filename() == ".." ||
        std::filesystem::is_directory(path, ec)) {
        throw UsageError(std::string(report.option) + " " + *report.name + ": is a folder");
    }
    return ReportFileName(*report.name, shard);
}

}  // namespace

bool ReportSet::Requested(const ReportOptions& options, const std::optional<std::string>& jsonFile) {
    return options.junitFile || jsonFile || options.htmlFile || options.sarifFile || options.codeQualityFile;
}

ReportSet::ReportSet(const ReportOptions& options, const std::optional<std::string>& jsonFile,
                     const std::optional<Shard>& shard, OutputNames& names) {
    const Request requests[] = {{"--junit", options.junitFile, junit_},
                                {"--json", jsonFile, json_},
                                {"--html", options.htmlFile, html_},
                                {"--sarif", options.sarifFile, sarif_},
                                {"--codequality", options.codeQualityFile, codeQuality_}};
    std::vector<std::pair<const Request*, std::string>> named;
    for (const Request& request : requests) {
        if (request.name) named.emplace_back(&request, ReportName(request, shard));
    }
    for (const auto& [request, name] : named) names.AddOutput(std::string(request->option) + " " + name, name);
    // Nothing is created before here.
    for (const auto& [request, name] : named) request->file.emplace(name, request->option);
}

bool ReportSet::Empty() const noexcept { return !junit_ && !json_ && !html_ && !sarif_ && !codeQuality_; }

bool ReportSet::Write(const BatchSummary& summary, const OutcomeSequence& outcomes) {
    bool written = true;
    const auto write = [&](std::optional<ReportFile>& file, auto&& report) {
        if (file) written &= file->Write(report);
    };
    write(junit_, [&](std::ostream& out) { WriteJUnitReport(out, summary, outcomes); });
    write(json_, [&](std::ostream& out) { WriteJsonReport(out, summary, outcomes); });
    write(html_, [&](std::ostream& out) { WriteHtmlReport(out, summary, outcomes, html_->Name(), summary.logsStay); });
    write(sarif_, [&](std::ostream& out) { WriteSarifReport(out, summary, outcomes); });
    write(codeQuality_, [&](std::ostream& out) { WriteCodeQualityReport(out, summary, outcomes); });
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
