#include "cli/ProgramList.h"

#include "automation/CodeRunner.h"
#include "cli/UsageError.h"

#include <algorithm>
#include <filesystem>
#include <map>
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

bool IsProgramFile(const fs::directory_entry& entry) {
    std::error_code ec;
    return entry.is_regular_file(ec) && NamesProgramFile(entry.path().filename().string());
}

template <typename Iterator>
void AddFolder(const fs::path& folder, std::vector<BatchProgram>& programs) {
    std::error_code ec;
    Iterator it(folder, ec);
    for (; !ec && it != Iterator(); it.increment(ec)) {
        if (IsProgramFile(*it)) programs.push_back({NameOf(it->path(), folder), it->path().string(), false});
    }
    if (ec) throw UsageError(folder.string() + ": cannot read the folder: " + ec.message());
}

}  // namespace

std::vector<BatchProgram> CollectPrograms(const std::vector<std::string>& arguments, bool recursive) {
    std::vector<BatchProgram> programs;
    for (const std::string& argument : arguments) {
        const fs::path path(argument);
        std::error_code ec;
        const fs::file_status status = fs::status(path, ec);
        if (fs::is_directory(status)) {
            if (recursive) {
                AddFolder<fs::recursive_directory_iterator>(path, programs);
            } else {
                AddFolder<fs::directory_iterator>(path, programs);
            }
        } else if (!fs::exists(status)) {
            programs.push_back({NameOf(path.filename(), {}), argument, true});
        } else if (NamesProgramFile(path.filename().string())) {
            programs.push_back({NameOf(path.filename(), {}), argument, false});
        } else {
            throw UsageError(argument + ": not a .sas program file");
        }
    }
    if (programs.empty()) throw UsageError("no program: no .sas file in the folders named");

    std::sort(programs.begin(), programs.end(),
              [](const BatchProgram& a, const BatchProgram& b) { return a.name < b.name; });
    // The same file named twice runs once; two files of one name would
    // write the same outputs.
    std::vector<BatchProgram> unique;
    for (BatchProgram& program : programs) {
        if (!unique.empty() && unique.back().name == program.name) {
            std::error_code ec;
            if (unique.back().path == program.path || fs::equivalent(unique.back().path, program.path, ec)) continue;
            throw UsageError("two programs are named " + program.name + ": " + unique.back().path + " and " +
                             program.path);
        }
        unique.push_back(std::move(program));
    }
    return unique;
}

std::vector<BatchProgram> SelectShard(const std::vector<BatchProgram>& programs, const Shard& shard) {
    std::vector<BatchProgram> part;
    for (std::size_t i = static_cast<std::size_t>(shard.index - 1); i < programs.size();
         i += static_cast<std::size_t>(shard.count)) {
        part.push_back(programs[i]);
    }
    return part;
}

}  // namespace tamberlo::cli
