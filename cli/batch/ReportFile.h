#pragma once

#include "cli/batch/OwnedTempName.h"

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tamberlo::cli {

// A report file that is either the one before or a complete new one: the
// text is written to a temporary name beside it and renamed into place, so
// that no reader ever sees it empty or half-written, and a batch that is
// killed leaves the previous report as it was. The temporary name carries
// the process id, so that the next batch writing the report removes what a
// killed one left.
class ReportFile {
public:
    // Makes the report's folder when it is not there yet (as a CI job
    // expects) and tries a file of the temporary name there, removed again
    // at once: a name that cannot be written is a usage error naming
    // `option`, before anything runs, and the folders made for it are gone
    // again. Removes the temporary files of batches that no longer run.
    ReportFile(std::string name, const char* option);
    // Removes the folders it made while no report was written into them.
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    const std::string& Name() const noexcept { return name_; }

    // Streams the report through `write` and renames it into place. False,
    // with a message on standard error, when it could not be written; the
    // temporary file is gone on every way out.
    bool Write(const std::function<void(std::ostream&)>& write);

private:
    std::string TemporaryName() const;
    void RemoveMadeFolders() noexcept;

    std::string name_;
    OwnedTempName temporaryNames_;
    std::vector<std::filesystem::path> madeFolders_;  // outermost first
    bool written_ = false;
};

}  // namespace tamberlo::cli
