#include "cli/single/RequestToRemote.h"

#include "cli/base/CommandText.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/UsageError.h"
#include "host/Error.h"
#include "host/FileSystem.h"
#include "remote/wire/Protocol.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// "2.5" for 2500 ms: --timeout as ParseTimeout reads it back.
std::string Seconds(std::chrono::milliseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(time.count() / 1000),
                  static_cast<long long>(time.count() % 1000));
    return text;
}

// `shown`: the option and the file, as a message names them.
std::string ReadSentFile(const fs::path& path, const std::string& shown) {
    try {
        filesystem::RegularFileRead read = filesystem::ReadRegularFileIfPresent(path, remote::MaxFrameBytes / 2);
        if (read.outcome == filesystem::RegularFileRead::Outcome::TooLarge)
            throw UsageError(shown + ": larger than a remote run takes (512 MiB)");
        if (read.outcome != filesystem::RegularFileRead::Outcome::Read)
            throw UsageError(shown + ": not a regular file");
        return std::move(read.text);
    } catch (const Error& error) {
        throw SystemFailure(shown + ": cannot read: " + error.Description());
    }
}

// Whether `target` (made absolute and free of links) lies in `root`.
bool Inside(const fs::path& target, const fs::path& root) {
    const auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
    return rootEnd == root.end();
}

// The sender of one --send: a file, or a folder walked through, every name
// relative to the folder that holds what was given.
class SendWalk {
public:
    SendWalk(std::vector<remote::SentFile>& files, std::set<std::string>& names) : files_(files), names_(names) {}

    // The sent name of a local file, when it was sent.
    std::optional<std::string> SentName(const fs::path& file) const {
        std::error_code ec;
        const auto found = sentNames_.find(fs::weakly_canonical(fs::absolute(file, ec), ec));
        if (found == sentNames_.end()) return std::nullopt;
        return found->second;
    }

    void Add(const std::string& given) {
        const fs::path path = commandtext::ToPath(given);
        std::error_code ec;
        const fs::path absolute = fs::absolute(path, ec).lexically_normal();
        fs::path base = absolute.parent_path();
        if (absolute.filename().empty()) base = absolute.parent_path().parent_path();  // "data/"
        const fs::file_status status = fs::symlink_status(path, ec);
        root_ = fs::weakly_canonical(absolute, ec);
        given_ = given;
        if (fs::is_directory(status)) {
            Folder(absolute, base);
        } else {
            // A link given by name is the user's choice: what it names is sent.
            One(absolute, base, fs::status(path, ec));
        }
    }

private:
    void Folder(const fs::path& folder, const fs::path& base) {
        std::error_code ec;
        fs::recursive_directory_iterator walk(folder, fs::directory_options::none, ec);
        if (ec) throw UsageError("--send " + given_ + ": cannot list: " + ec.message());
        for (const fs::directory_entry& entry : walk) {
            const fs::file_status own = entry.symlink_status(ec);
            if (fs::is_directory(own)) continue;
            if (fs::is_symlink(own)) {
                const fs::path target = fs::weakly_canonical(entry.path(), ec);
                if (ec || !Inside(target, root_))
                    throw UsageError("--send " + Shown(entry.path()) + ": a link to outside what is sent");
                if (fs::is_directory(fs::status(entry.path(), ec)))
                    throw UsageError("--send " + Shown(entry.path()) + ": a link to a folder is not sent");
            }
            One(entry.path(), base, entry.status(ec));
        }
    }

    void One(const fs::path& file, const fs::path& base, const fs::file_status& status) {
        const std::string shown = Shown(file);
        if (!fs::is_regular_file(status)) throw UsageError("--send " + shown + ": not a regular file");
        remote::SentFile sent;
        sent.path = commandtext::FromPath(file.lexically_relative(base).generic_string());
        if (!names_.insert(sent.path).second)
            throw UsageError("--send " + shown + ": a second file named " + sent.path);
        sent.mode = static_cast<unsigned>(status.permissions() & fs::perms::all);
        sent.bytes = ReadSentFile(file, "--send " + shown);
        std::error_code ec;
        sentNames_.emplace(fs::weakly_canonical(file, ec), sent.path);
        files_.push_back(std::move(sent));
    }

    static std::string Shown(const fs::path& path) { return commandtext::FromPath(path); }

    std::vector<remote::SentFile>& files_;
    std::set<std::string>& names_;
    std::map<fs::path, std::string> sentNames_;
    fs::path root_;
    std::string given_;
};

std::string WithLineFeeds(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            out += '\n';
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> RequestToRemote::SessionArguments(const SessionOptions& options, bool follow) {
    std::vector<std::string> arguments;
    // NAME=VALUE in one argument: a value that starts with - stays a value.
    const auto add = [&arguments](const char* name, const std::string& value) {
        arguments.push_back(std::string(name) + "=" + value);
    };
    if (!options.sasRoot.empty()) add("--sas-root", options.sasRoot);
    if (!options.configFile.empty()) add("--config", options.configFile);
    if (options.encoding) add("--encoding", *options.encoding);
    if (options.noFormChar) arguments.emplace_back("--no-formchar");
    arguments.emplace_back("--raw");
    if (options.timeout) add("--timeout", Seconds(*options.timeout));
    const RunSettings& parameters = options.parameters;
    if (parameters.sysparm) add("--sysparm", *parameters.sysparm);
    for (const auto& [name, value] : parameters.environment) add("--set", name + "=" + value);
    for (const auto& [name, value] : parameters.macroVariables) add("--let", name + "=" + value);
    if (parameters.autoexec) add("--autoexec", *parameters.autoexec);
    for (const std::string& word : parameters.extraOptions) add("--sas-option", word);
    if (follow) arguments.emplace_back("--follow");
    return arguments;
}

RequestToRemote RequestToRemote::Make(const SessionOptions& options, bool follow,
                                      const std::vector<ProgramAssembly::Assignment>& program) {
    RequestToRemote request;
    request.options = SessionArguments(options, follow);
    std::set<std::string> names;
    SendWalk walk(request.files, names);
    for (const std::string& given : options.remote.send) walk.Add(given);
    // A run of several pieces knows the first .sas file as its own, as a
    // local run does.
    const auto stored = std::find_if(program.begin(), program.end(),
                                     [](const ProgramAssembly::Assignment& piece) { return piece.isStoredProgram; });
    if (stored != program.end()) {
        const fs::path file = commandtext::ToPath(stored->value);
        std::error_code ec;
        const std::optional<std::string> sent = walk.SentName(file);
        request.options.push_back("--program-file=" +
                                  (sent ? *sent : commandtext::FromPath(fs::absolute(file, ec).lexically_normal())));
    }
    for (const ProgramAssembly::Assignment& piece : program) {
        if (piece.isStoredProgram) {
            std::string stored = ReadSentFile(commandtext::ToPath(piece.value), piece.value);
            if (!stored.empty() && stored.back() != '\n' && stored.back() != '\r') stored += '\n';
            request.program += stored;
        } else {
            request.program += piece.value + "\n";
        }
    }
    request.program = WithLineFeeds(std::move(request.program));
    return request;
}

}  // namespace tamberlo::cli
