#include "cli/reports/ReportFile.h"

#include "cli/base/Console.h"
#include "cli/base/LinkTarget.h"
#include "cli/base/OutputDevice.h"
#include "cli/base/UsageError.h"
#include "cli/reports/StdioStreamBuffer.h"
#include "host/Error.h"
#include "cli/base/CommandText.h"
#include "host/FileSystem.h"
#include "host/ControlChars.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
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
      target_(FileBehindLinks(commandtext::ToPath(name_))),
      temporaryNames_(commandtext::FromPath(target_.filename()) + ".", ".tmp") {
    const auto refuse = [&](const std::string& reason) {
        RemoveMadeFolders();
        throw UsageError(std::string(option) + " " + name_ + ": " + reason);
    };
    std::error_code ec;
    if (fs::is_directory(commandtext::ToPath(name_), ec)) refuse("is a folder");
    device_.reset(OpenIfDeviceOrPipe(name_, option));
    if (device_) return;
    if (fs::is_symlink(fs::symlink_status(target_, ec))) refuse("cannot create the file: a loop of symbolic links");
    const fs::path folder = target_.parent_path();
    MakeFolders(folder);
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

void ReportFile::MakeFolders(const fs::path& folder) {
    std::vector<fs::path> missing;  // innermost first
    for (fs::path path = folder; !path.empty(); path = path.parent_path()) {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(path, ec))) break;
        missing.push_back(path);
        if (path == path.parent_path()) break;
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path) {
        std::error_code ec;
        if (!fs::create_directory(*path, ec)) break;  // the probe that follows says why
        madeFolders_.push_back(*path);
    }
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
    return commandtext::FromPath(target_.parent_path() / commandtext::ToPath(temporaryNames_.New()));
}

bool ReportFile::Write(const std::function<void(std::ostream&)>& write) {
    const std::string reason = device_ ? WriteInPlace(write) : WriteAndRename(write);
    if (reason.empty()) return true;
    std::fprintf(stderr, "tamberlo: %s\n",
                 console::ForTerminal(AllControlCharsAsCodes(name_ + ": cannot write: " + reason)).c_str());
    return false;
}

std::string ReportFile::WriteInPlace(const std::function<void(std::ostream&)>& write) {
    StdioStreamBuffer buffer(device_.get());
    std::ostream out(&buffer);
    write(out);
    out.flush();
    const bool failed = !out || std::ferror(device_.get()) != 0;
    const int reason = errno;
    const bool closed = std::fclose(device_.release()) == 0;
    if (!failed && closed) {
        written_ = true;
        return {};
    }
    return std::strerror(failed ? reason : errno);
}

std::string ReportFile::WriteAndRename(const std::function<void(std::ostream&)>& write) {
    TemporaryFile temporary(TemporaryName());
    {
        std::vector<char> buffer(1 << 16);
        std::ofstream out;
        out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        out.open(commandtext::ToPath(temporary.Name()), std::ios::binary | std::ios::trunc);
        if (out) write(out);
        out.close();
        if (!out) return "the file could not be written";
    }
    std::error_code ec;
    fs::rename(commandtext::ToPath(temporary.Name()), target_, ec);
    if (ec) return "cannot rename " + temporary.Name() + " into place: " + ec.message();
    temporary.Keep();
    written_ = true;
    return {};
}

}  // namespace tamberlo::cli
