#include "cli/batch/ReportFile.h"

#include "cli/Console.h"
#include "cli/UsageError.h"
#include "host/Error.h"
#include "cli/CommandText.h"
#include "host/FileSystem.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
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

ReportFile::ReportFile(std::string name, const char* option) : name_(std::move(name)) {
    const fs::path folder = commandtext::ToPath(name_).parent_path();
    std::error_code ec;
    if (!folder.empty()) fs::create_directories(folder, ec);
    try {
        const TemporaryFile probe(TemporaryName());
        if (!filesystem::CreateNewFile(commandtext::ToPath(probe.Name()), {})) {
            throw UsageError(std::string(option) + " " + name_ + ": cannot create the file: its temporary name is taken");
        }
    } catch (const Error& error) {
        throw UsageError(std::string(option) + " " + name_ + ": cannot create the file: " +
                         commandtext::FromHost(error.Description()));
    }
    if (fs::is_directory(commandtext::ToPath(name_), ec)) throw UsageError(std::string(option) + " " + name_ + ": is a folder");
}

std::string ReportFile::TemporaryName() const {
    static thread_local std::mt19937_64 digits{std::random_device{}()};
    return name_ + "." + std::to_string(digits() % 1000000000) + ".tmp";
}

bool ReportFile::Write(const std::function<void(std::ostream&)>& write) const {
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
        }
    }
    if (reason.empty()) return true;
    std::fprintf(stderr, "tamberlo: %s\n", console::ForTerminal(name_ + ": cannot write: " + reason).c_str());
    return false;
}

}  // namespace tamberlo::cli
