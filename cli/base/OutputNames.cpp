#include "cli/base/OutputNames.h"

#include "cli/base/CommandText.h"
#include "cli/base/LinkTarget.h"
#include "cli/base/UsageError.h"
#include "engine/SASContract.h"
#include "host/FileSystem.h"

#include <filesystem>
#include <system_error>

namespace tamberlo::cli {
namespace fs = std::filesystem;

std::string OutputNames::Key(const std::string& name, bool& exists) {
    std::error_code ec;
    fs::path given = commandtext::ToPath(name);
    const fs::file_status status = fs::status(given, ec);
    exists = fs::exists(status);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status)) return {};
    // A dangling link is the file it leads to, which an output would make.
    if (!exists) given = FileBehindLinks(std::move(given));
    // A name that is not there is no link: its folder's key and its own
    // name, the folder's worked out once for all the names in it (a batch of
    // many runs gathers thousands in a few folders).
    const fs::path file = given.filename();
    if (!exists && given.has_parent_path() && !file.empty() && file != "." && file != "..") {
        const std::string folder = commandtext::FromPath(given.parent_path());
        auto cached = folderKeys_.find(folder);
        if (cached == folderKeys_.end()) {
            bool folderExists = false;
            cached = folderKeys_.emplace(folder, Key(folder, folderExists)).first;
        }
        if (!cached->second.empty()) {
            const std::u8string text = file.generic_u8string();
            return cached->second + (cached->second.back() == '/' ? "" : "/") +
                   filesystem::FoldedName(std::string(text.begin(), text.end()));
        }
    }
    fs::path path = fs::absolute(given, ec);
    fs::path canonical = fs::weakly_canonical(path, ec);
    if (!ec) path = std::move(canonical);
    path = path.lexically_normal();
    // "folder/" is the folder.
    if (!path.has_filename() && path != path.root_path()) path = path.parent_path();
    const std::u8string text = path.generic_u8string();
    return filesystem::FoldedName(std::string(text.begin(), text.end()));
}

namespace {

// "_PUT<n>.txt" as Key gives it: a put file's name.
bool IsPutFileName(std::string_view name) {
    static const std::string prefix = filesystem::FoldedName(sas::PutFileKeyPrefix),
                             suffix = filesystem::FoldedName(".txt");
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - suffix.size()) != suffix) {
        return false;
    }
    for (const char c : name.substr(prefix.size(), name.size() - prefix.size() - suffix.size())) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

void OutputNames::AddOutput(const std::string& label, const std::string& name) { Add(name, {label, true}); }

void OutputNames::AddInput(const std::string& label, const std::string& name) { Add(name, {label, false}); }

void OutputNames::AddInputs(FileGroup inputs) { inputGroups_.push_back(std::move(inputs)); }

void OutputNames::AddPutFolder(const std::string& label, const std::string& name) {
    const std::string key = Add(name, {label, true});
    if (key.empty()) return;
    CheckAgainstGroups(key, std::nullopt, Entry{label, true}, true);
    putFolders_.emplace(key, Entry{label, true});
    // Files gathered before that would be its put files: those below it.
    const std::string below = key.back() == '/' ? key : key + "/";
    for (auto file = files_.lower_bound(below); file != files_.end() && file->first.rfind(below, 0) == 0; ++file) {
        if (PutFolderHolding(file->first) != nullptr)
            throw UsageError(label + ": a put file would be written over " + file->second.label);
    }
}

std::string OutputNames::Add(const std::string& name, const Entry& entry) {
    bool exists = false;
    std::string key = Key(name, exists);
    if (key.empty()) return key;
    const auto [found, added] = files_.emplace(key, entry);
    if (!added && (entry.written || found->second.written)) {
        throw UsageError(entry.label + ": the same file as " + found->second.label);
    }
    // Another name of an existing file (a hard link) is found by what the
    // system tells the file by.
    const std::optional<std::string> identity =
        exists ? filesystem::FileIdentity(commandtext::ToPath(name)) : std::nullopt;
    if (identity) {
        const auto [same, first] = identities_.emplace(*identity, entry);
        if (!first && added && (entry.written || same->second.written))
            throw UsageError(entry.label + ": the same file as " + same->second.label);
    }
    if (entry.written) CheckAgainstGroups(key, identity, entry, false);
    if (const Entry* folder = PutFolderHolding(key)) {
        throw UsageError(entry.label + ": a put file of " + folder->label);
    }
    return key;
}

void OutputNames::CheckAgainstGroups(const std::string& key, const std::optional<std::string>& identity,
                                     const Entry& output, bool putFolder) {
    const std::string below = key.back() == '/' ? key : key + "/";
    for (const FileGroup& group : inputGroups_) {
        group([&](const std::string& label, const std::string& name) {
            bool exists = false;
            const std::string inputKey = Key(name, exists);
            if (inputKey.empty()) return;
            if (putFolder) {
                const std::size_t slash = inputKey.rfind('/');
                if (inputKey.size() > below.size() && inputKey.compare(0, below.size(), below) == 0 &&
                    slash == below.size() - 1 && IsPutFileName(std::string_view(inputKey).substr(slash + 1)))
                    throw UsageError(output.label + ": a put file would be written over " + label);
                return;
            }
            if (inputKey == key ||
                (identity && exists && filesystem::FileIdentity(commandtext::ToPath(name)) == identity))
                throw UsageError(output.label + ": the same file as " + label);
        });
    }
}

const OutputNames::Entry* OutputNames::PutFolderHolding(const std::string& key) const {
    const std::size_t slash = key.rfind('/');
    if (slash == std::string::npos || !IsPutFileName(std::string_view(key).substr(slash + 1))) return nullptr;
    const auto folder = putFolders_.find(key.substr(0, slash == 0 ? 1 : slash));
    return folder == putFolders_.end() ? nullptr : &folder->second;
}

}  // namespace tamberlo::cli
