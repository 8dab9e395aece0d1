#pragma once

#include "engine/RunSettings.h"

#include <string>
#include <vector>

namespace tamberlo::cli {

// A program as every way of running one takes it: its parts in order and
// the run's parameters, all read and settled by the command beforehand.
struct SasProgram {
    struct Part {
        std::string text;
        // text is a .sas file's content, byte for byte (in the session
        // encoding already); else program text in UTF-8.
        bool stored = false;
    };

    std::vector<Part> parts;
    // As CodeRunner takes them: the autoexec file by its host name.
    RunSettings settings;
};

}  // namespace tamberlo::cli
