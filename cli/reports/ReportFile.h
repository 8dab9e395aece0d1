#pragma once

#include "cli/base/OwnedTempName.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace tamberlo::cli {

// A report file that is either the one before or a complete new one: the
// text is written to a temporary name beside it and renamed into place, so
// that no reader ever sees it empty or half-written, and a batch that is
// killed leaves the previous report as it was. The temporary name carries
// the process id, so that the next batch writing the report removes what a
// killed one left. A symbolic link stays: the report replaces the file it
// leads to (made when it is not there). A name that is neither a file nor
// new (a device, a pipe) holds no file to replace: the report is written
// straight into it.
class ReportFile {
public:
    // Makes the report's folder when it is not there yet (as a CI job
    // expects) and tries a file of the temporary name there, removed again
    // at once: a name that cannot be written is a usage error naming
    // `option`, before anything runs, and the folders made for it are gone
    // again. Removes the temporary files of batches that no longer run.
    // A device or pipe is opened here already, so that one that cannot be
    // written (a pipe nothing reads) is refused before anything runs.
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
    struct CloseStream {
        void operator()(std::FILE* stream) const noexcept { std::fclose(stream); }
    };

    std::string TemporaryName() const;
    // Makes the folders of `folder` that are not there, each remembered once
    // this made it: a name on the way that is already there (a dangling
    // link among them) is not this report's to remove.
    void MakeFolders(const std::filesystem::path& folder);
    void RemoveMadeFolders() noexcept;
    std::string WriteInPlace(const std::function<void(std::ostream&)>& write);
    std::string WriteAndRename(const std::function<void(std::ostream&)>& write);

    std::string name_;
    std::filesystem::path target_;  // the file the name leads to, through links
    OwnedTempName temporaryNames_;
    std::vector<std::filesystem::path> madeFolders_;  // outermost first
    std::unique_ptr<std::FILE, CloseStream> device_;  // a device or pipe, written straight into
    bool written_ = false;
};

}  // namespace tamberlo::cli
