#include "cli/batch/ReportFile.h"

#include "cli/Console.h"
#include "cli/UsageError.h"
#include "host/Error.h"
#include "cli/CommandText.h"
#include "host/FileSystem.h"
#include "host/ControlChars.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// Removes the temporary file on every way out that did not rename it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
    ~TemporaryFile() {
        if (!name_.empty()) filesystem::DiscardFile(commandtext::ToPath(name_));
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& Name() const noexcept { return name_; }
    void Keep() noexcept { name_.clear(); }

private:
    std::string name_;
};

}  // namespace

ReportFile::ReportFile(std::string name, const char* option)
    : name_(std::move(name)),
      temporaryNames_(commandtext::FromPath(commandtext::ToPath(name_).filename()) + ".", ".tmp") {
    const auto refuse = [&](const std::string& reason) {
        RemoveMadeFolders();
        throw UsageError(std::string(option) + " " + name_ + ": " + reason);
    };
    std::error_code ec;
    if (fs::is_directory(commandtext::ToPath(name_), ec)) refuse("is a folder");
    const fs::path folder = commandtext::ToPath(name_).parent_path();
    for (fs::path missing = folder; !missing.empty() && !fs::exists(missing, ec); missing = missing.parent_path()) {
        madeFolders_.insert(madeFolders_.begin(), missing);
        if (missing == missing.parent_path()) break;
    }
    if (!folder.empty()) fs::create_directories(folder, ec);
    try {
        const TemporaryFile probe(TemporaryName());
        if (!filesystem::CreateNewFile(commandtext::ToPath(probe.Name()), {})) {
            refuse("cannot create the file: its temporary name is taken");
        }
    } catch (const Error& error) {
        refuse("cannot create the file: " + commandtext::FromHost(error.Description()));
    }
    temporaryNames_.RemoveLeftovers(folder);
}

ReportFile::~ReportFile() {
    if (!written_) RemoveMadeFolders();
}

void ReportFile::RemoveMadeFolders() noexcept {
    // Only empty folders go: whatever another program put there meanwhile stays.
    for (auto folder = madeFolders_.rbegin(); folder != madeFolders_.rend(); ++folder) {
        std::error_code ec;
        fs::remove(*folder, ec);
    }
    madeFolders_.clear();
}

std::string ReportFile::TemporaryName() const {
    const fs::path folder = commandtext::ToPath(name_).parent_path();
    return commandtext::FromPath(folder / commandtext::ToPath(temporaryNames_.New()));
}

bool ReportFile::Write(const std::function<void(std::ostream&)>& write) {
    TemporaryFile temporary(TemporaryName());
    std::string reason;
    {
        std::vector<char> buffer(1 << 16);
        std::ofstream out;
        out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        out.open(commandtext::ToPath(temporary.Name()), std::ios::binary | std::ios::trunc);
        if (out) write(out);
        out.close();
        if (!out) reason = "the file could not be written";
    }
    if (reason.empty()) {
        std::error_code ec;
        fs::rename(commandtext::ToPath(temporary.Name()), commandtext::ToPath(name_), ec);
        if (ec) {
            reason = "cannot rename " + temporary.Name() + " into place: " + ec.message();
        } else {
            temporary.Keep();
            written_ = true;
        }
    }
    if (reason.empty()) return true;
    std::fprintf(stderr, "tamberlo: %s\n",
                 console::ForTerminal(AllControlCharsAsCodes(name_ + ": cannot write: " + reason)).c_str());
    return false;
}

}  // namespace tamberlo::cli
