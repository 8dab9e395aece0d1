#include "cli/batch/ProgramList.h"

#include "cli/base/UsageError.h"
#include "cli/base/CommandText.h"
#include "host/AsciiCase.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <optional>
#include <system_error>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// The output name of a program file: its path below `base` without the
// extension, with "/" between folders.
std::string NameOf(const fs::path& file, const fs::path& base) {
    fs::path relative = file.lexically_relative(base);
    relative.replace_extension();
    return relative.generic_string();
}

// Two names as the file system compares them (in lower case where it
// ignores case), byte by byte: below, equal or above 0.
int CompareFolded(std::string_view a, std::string_view b) {
    const auto folded = [](char c) { return static_cast<unsigned char>(filesystem::FoldedNameChar(c)); };
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (folded(a[i]) != folded(b[i])) return folded(a[i]) < folded(b[i]) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The name ends in the kind's extension, in any letter case.
bool NamesKind(const std::string& name, const ListedKind& kind) {
    const std::string_view extension = kind.extension;
    if (name.size() < extension.size()) return false;
    return AsciiLower(name.substr(name.size() - extension.size())) == AsciiLower(extension);
}

bool IsListedFile(const fs::directory_entry& entry, const ListedKind& kind) {
    std::error_code ec;
    return entry.is_regular_file(ec) && NamesKind(entry.path().filename().string(), kind);
}

// A folder that cannot be read is one failed entry of the batch, named
// after the folder with a "/" (no program's name ends so), and the rest runs.
void AddUnreadable(const fs::path& folder, const fs::path& base, const std::error_code& ec,
                   BatchProgramList& programs) {
    const std::string relative =
        folder == base ? folder.generic_string() : folder.lexically_relative(base).generic_string();
    programs.Add({relative + "/", folder.string(), folder.string() + ": cannot read the folder: " + ec.message()});
}

void AddFolder(const fs::path& folder, const fs::path& base, bool recursive, const ListedKind& kind,
               BatchProgramList& programs) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (recursive && it->is_directory(typeError) && !it->is_symlink(typeError)) {
            AddFolder(it->path(), base, recursive, kind, programs);
        } else if (IsListedFile(*it, kind)) {
            programs.Add({NameOf(it->path(), base), it->path().string(), {}});
        }
    }
    if (ec) AddUnreadable(folder, base, ec, programs);
}

// `*` any run of characters, `?` any one, compared as the file system compares names.
bool MatchesWildcard(std::string_view givenName, std::string_view givenPattern) {
    const std::string name = filesystem::FoldedName(givenName), pattern = filesystem::FoldedName(givenPattern);
    std::size_t n = 0, p = 0, star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

void AddArgument(const std::string& argument, bool recursive, const ListedKind& kind, BatchProgramList& programs) {
    const fs::path path = commandtext::ToPath(argument);
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::is_directory(status)) {
        AddFolder(path, path, recursive, kind, programs);
    } else if (!fs::exists(status)) {
        programs.Add({NameOf(path.filename(), {}), argument, argument + ": " + kind.noSuchFile});
    } else if (NamesKind(path.filename().string(), kind)) {
        programs.Add({NameOf(path.filename(), {}), argument, {}});
    } else {
        throw UsageError(argument + ": " + kind.notOfKind);
    }
}

// The arguments that a pattern in the last part of `argument` names, sorted;
// the argument itself when it has none or nothing matches, as Windows
// programs keep it (where the kind expands them, also when it names a file).
std::vector<std::string> Expanded(const std::string& argument, const ListedKind& kind) {
    const fs::path path = commandtext::ToPath(argument);
    const std::string pattern = path.filename().string();
    if (!(kind.expandsWildcards || filesystem::ProgramExpandsWildcards()) ||
        pattern.find_first_of("*?") == std::string::npos)
        return {argument};
    // A file whose name holds a "*" is itself.
    std::error_code exists;
    if (kind.expandsWildcards && fs::exists(fs::symlink_status(path, exists))) return {argument};
    const fs::path folder = path.parent_path();
    std::vector<std::string> matches;
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (MatchesWildcard(name, pattern)) matches.push_back((folder / it->path().filename()).string());
    }
    if (matches.empty()) return {argument};
    std::sort(matches.begin(), matches.end());
    return matches;
}

}  // namespace

const ListedKind ProgramFileKind{".sas", "no such program file", "not a .sas program file",
                                 "no program: no .sas file in the folders named"};
const ListedKind LogFileKind{".log", "no such log file", "not a .log file", "no log: no .log file in the folders named",
                             true};

BatchProgramList CollectPrograms(const std::vector<std::string>& arguments, bool recursive) {
    return CollectFiles(arguments, recursive, ProgramFileKind);
}

BatchProgramList CollectFiles(const std::vector<std::string>& arguments, bool recursive, const ListedKind& kind) {
    BatchProgramList programs;
    for (const std::string& argument : arguments) {
        for (const std::string& expanded : Expanded(argument, kind)) AddArgument(expanded, recursive, kind, programs);
    }
    if (programs.empty()) throw UsageError(kind.noneInFolder);

    // Sorted through their places in the list: the programs stay in its arena.
    std::vector<std::size_t> order(programs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&programs](std::size_t a, std::size_t b) {
        const std::string_view nameA = programs.Name(a), nameB = programs.Name(b);
        const int folded = CompareFolded(nameA, nameB);
        return folded != 0 ? folded < 0 : nameA < nameB;
    });
    // The same file named twice runs once; two files of one name (in the
    // file system's eyes) would write the same outputs.
    BatchProgramList unique;
    std::optional<BatchProgram> previous;
    for (const std::size_t index : order) {
        BatchProgram program = programs[index];
        if (previous && CompareFolded(previous->name, program.name) == 0) {
            std::error_code ec;
            if (previous->path == program.path ||
                fs::equivalent(commandtext::ToPath(previous->path), commandtext::ToPath(program.path), ec))
                continue;
            throw UsageError("two programs are named " + program.name + ": " + previous->path + " and " + program.path);
        }
        unique.Add(program);
        previous = std::move(program);
    }
    return unique;
}

BatchProgramList SelectShard(const BatchProgramList& programs, const Shard& shard) {
    BatchProgramList part;
    for (std::size_t i = static_cast<std::size_t>(shard.index - 1); i < programs.size();
         i += static_cast<std::size_t>(shard.count)) {
        part.Add(programs[i]);
    }
    return part;
}

}  // namespace tamberlo::cli
