#pragma once

#include "cli/single/SingleRunOptions.h"
#include "cli/run/SasProgram.h"

#include <functional>
#include <string>
#include <vector>

namespace tamberlo::cli {

// Assembles the single run's program from the command line's pieces.
class ProgramAssembly {
public:
    // One value for CodeRunner::SetSASCode.
    struct Assignment {
        std::string value;
        bool isStoredProgram = false;  // value is the path of a .sas file
        // value is a program's content as stored, in the session encoding
        // already (a remote run's program), appended as it is
        bool isStoredContent = false;
        bool operator==(const Assignment&) const = default;
    };

    using StandardInputReader = std::function<std::string()>;

    // Turns the pieces into assignments, in order. A file whose name ends in
    // .sas (in any case) stays a path, so that CodeRunner appends it as
    // stored; any other file, standard input and -e texts become program
    // text, as UTF-8. Throws UsageError naming a program file that does not exist,
    // is a folder or cannot be read.
    static std::vector<Assignment> Prepare(const std::vector<ProgramPiece>& pieces,
                                           const StandardInputReader& readStandardInput);

    // `text` as a value that SetSASCode appends as text: a single-line text
    // that ends in ".sas" would be taken for a file name, so it gets a line
    // break of its own (the program then has one empty line more).
    static std::string AsProgramText(std::string text);

    // The assignments as a session runs them, the .sas files read by the
    // command; `parameters` with the macro variables of the program's own
    // file when it has one (programfile::WithProgramFile). Throws UsageError
    // as Prepare does, and SystemFailure when the system is at fault.
    static SasProgram Read(const std::vector<Assignment>& program, RunSettings parameters);
};

}  // namespace tamberlo::cli
