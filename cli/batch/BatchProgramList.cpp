#include "cli/batch/BatchProgramList.h"

#include <limits>
#include <stdexcept>

namespace tamberlo::cli {
namespace {

// A program's record: its name, the index of its path's folder, the rest of
// its path, its problem, row and output name, and the index of its
// parameters plus one (0: none); numbers and texts' lengths as LEB128, which
// takes one byte for the short texts and small indexes of a common list.
void AppendNumber(std::string& out, std::uint64_t value) {
    do {
        const auto low = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
        out.push_back(static_cast<char>(value != 0 ? low | 0x80 : low));
    } while (value != 0);
}

void AppendText(std::string& out, std::string_view text) {
    AppendNumber(out, text.size());
    out.append(text);
}

// Reads a record of the arena, which this list wrote itself.
class RecordReader {
public:
    RecordReader(std::string_view texts, std::size_t at) : texts_(texts), at_(at) {}

    std::uint64_t Number() {
        std::uint64_t value = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(texts_[at_++]);
            value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
            if ((byte & 0x80) == 0) return value;
        }
    }
    std::string_view Text() {
        const auto size = static_cast<std::size_t>(Number());
        const std::string_view text = texts_.substr(at_, size);
        at_ += size;
        return text;
    }

private:
    std::string_view texts_;
    std::size_t at_;
};

// Where a path's folder part ends: after its last separator.
std::size_t FolderEnd(std::string_view path) {
    const std::size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

void BatchProgramList::Add(const BatchProgram& program) {
    if (texts_.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many programs for one batch");
    const std::string_view path = program.path;
    const std::string_view folder = path.substr(0, FolderEnd(path));
    auto found = folderIndex_.find(folder);
    if (found == folderIndex_.end()) {
        found = folderIndex_.emplace(std::string(folder), static_cast<std::uint32_t>(folders_.size())).first;
        folders_.emplace_back(folder);
    }
    std::uint64_t parameters = 0;
    if (program.parameters) {
        auto set = parametersIndex_.find(program.parameters.get());
        if (set == parametersIndex_.end()) {
            set = parametersIndex_.emplace(program.parameters.get(), static_cast<std::uint32_t>(parameters_.size()))
                      .first;
            parameters_.push_back(program.parameters);
        }
        parameters = set->second + 1ull;
    }
    starts_.push_back(static_cast<std::uint32_t>(texts_.size()));
    AppendText(texts_, program.name);
    AppendNumber(texts_, found->second);
    AppendText(texts_, path.substr(folder.size()));
    AppendText(texts_, program.problem);
    AppendText(texts_, program.row);
    AppendText(texts_, program.outputName);
    AppendNumber(texts_, parameters);
}

BatchProgram BatchProgramList::operator[](std::size_t index) const {
    RecordReader in(texts_, starts_.at(index));
    BatchProgram program;
    program.name = in.Text();
    const std::string& folder = folders_[static_cast<std::size_t>(in.Number())];
    program.path.append(folder).append(in.Text());
    program.problem = in.Text();
    program.row = in.Text();
    program.outputName = in.Text();
    if (const std::uint64_t parameters = in.Number(); parameters != 0)
        program.parameters = parameters_[static_cast<std::size_t>(parameters - 1)];
    return program;
}

std::string_view BatchProgramList::Name(std::size_t index) const {
    return RecordReader(texts_, starts_.at(index)).Text();
}

}  // namespace tamberlo::cli
