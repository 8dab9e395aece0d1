#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tamberlo::cli {

// A report file that is either the one before or a complete new one: the
// text is written to a temporary name beside it and renamed into place, so
// that no reader ever sees it empty or half-written, and a batch that is
// killed leaves the previous report as it was.
class ReportFile {
public:
    // Makes the report's folder when it is not there yet (as a CI job
    // expects) and tries a file of the temporary name there, removed again
    // at once: a name that cannot be written is a usage error naming
    // `option`, before anything runs.
    ReportFile(std::string name, const char* option);

    const std::string& Name() const noexcept { return name_; }

    // Streams the report through `write` and renames it into place. False,
    // with a message on standard error, when it could not be written; the
    // temporary file is gone on every way out.
    bool Write(const std::function<void(std::ostream&)>& write) const;

private:
    std::string TemporaryName() const;

    std::string name_;
};

}  // namespace tamberlo::cli
