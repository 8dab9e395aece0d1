#include "cli/single/ProgramAssembly.h"

#include "automation/CodeRunner.h"
#include "cli/base/Console.h"
#include "cli/run/ProgramFileVariables.h"
#include "cli/base/SystemFailure.h"
#include "cli/base/UsageError.h"
#include "host/Error.h"
#include "cli/base/CommandText.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

namespace tamberlo::cli {
namespace {

// True for a failure of the system's (no descriptor or memory left, a
// device that failed), which says nothing about the command line.
bool IsSystemFailure(long number) {
    return number == errors::TooManyFiles || number == errors::OutOfMemory || number == errors::DeviceIOError ||
           number == errors::DiskNotReady || number == errors::DiskFull;
}

// Program files go through the host's file layer, so that the command and
// CodeRunner see one file the same way: a missing file or folder on the way
// (53, 76) is "no such program file", any other failure names the run-time
// error (a folder is 75, as opening it as a file is on Windows), a usage
// error unless the system is at fault.
template <typename Call>
auto ThroughFileLayer(const std::string& path, Call call) {
    try {
        return call();
    } catch (const Error& error) {
        if (error.Number() == errors::FileNotFound || error.Number() == errors::PathNotFound)
            throw UsageError(path + ": no such program file");
        const std::string message = path + ": cannot read the program file: " + error.Description();
        if (IsSystemFailure(error.Number())) throw SystemFailure(message);
        throw UsageError(message);
    }
}

// A device would be read until memory runs out, a pipe waited on: only a
// regular file is a program file, checked as it is read.
std::string ReadProgramFile(const std::string& path) {
    filesystem::RegularFileRead read = ThroughFileLayer(path, [&] {
        return filesystem::ReadRegularFileIfPresent(commandtext::ToPath(path),
                                                    std::numeric_limits<std::uintmax_t>::max());
    });
    if (read.outcome == filesystem::RegularFileRead::Outcome::Missing)
        throw UsageError(path + ": no such program file");
    if (read.outcome != filesystem::RegularFileRead::Outcome::Read) throw UsageError(path + ": not a regular file");
    return std::move(read.text);
}

void CheckProgramFile(const std::string& path) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(commandtext::ToPath(path), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
        !std::filesystem::is_directory(status))
        throw UsageError(path + ": not a regular file");
    ThroughFileLayer(path, [&] { filesystem::CheckReadable(commandtext::ToPath(path)); });
}

}  // namespace

std::string ProgramAssembly::AsProgramText(std::string text) {
    if (NamesProgramFile(text)) text += "\r\n";
    return text;
}

std::vector<ProgramAssembly::Assignment> ProgramAssembly::Prepare(const std::vector<ProgramPiece>& pieces,
                                                                  const StandardInputReader& readStandardInput) {
    // Text from standard input and other files is in the terminal's
    // encoding, text on the command line in the arguments'.
    const SessionEncoding terminal = SessionEncoding::Terminal();
    std::vector<Assignment> assignments;
    for (const ProgramPiece& piece : pieces) {
        switch (piece.kind) {
        case ProgramPiece::Kind::File:
            CheckProgramFile(piece.value);
            if (NamesProgramFile(piece.value)) {
                assignments.push_back({piece.value, true});
            } else {
                assignments.push_back({AsProgramText(terminal.ToUtf8(ReadProgramFile(piece.value))), false});
            }
            break;
        case ProgramPiece::Kind::StandardInput:
            assignments.push_back({AsProgramText(terminal.ToUtf8(readStandardInput())), false});
            break;
        case ProgramPiece::Kind::Text:
            assignments.push_back({AsProgramText(console::ArgumentEncoding().ToUtf8(piece.value)), false});
            break;
        }
    }
    return assignments;
}

SasProgram ProgramAssembly::Read(const std::vector<Assignment>& program, RunSettings parameters) {
    SasProgram read;
    // A run of several pieces knows the first .sas file as its own: the
    // one it is named after, as --out names its outputs.
    const auto stored = std::find_if(program.begin(), program.end(),
                                     [](const Assignment& assignment) { return assignment.isStoredProgram; });
    read.settings = stored == program.end() ? std::move(parameters)
                                            : programfile::WithProgramFile(std::move(parameters), stored->value);
    for (const Assignment& assignment : program) {
        read.parts.push_back({assignment.isStoredProgram ? ReadProgramFile(assignment.value) : assignment.value,
                              assignment.isStoredProgram || assignment.isStoredContent});
    }
    return read;
}

}  // namespace tamberlo::cli
