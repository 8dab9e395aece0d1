#pragma once

#include <string>
#include <string_view>

namespace tamberlo::cli {

// The lines Tamberlo writes ahead of a program, told by their forms, for a
// log whose run's preamble is not known (`tamberlo scan` of a log a batch
// wrote with --out): "%LET NAME=...;" as a macro variable is given,
// "filename _PUTn '...' mod;", the formchar statement, and the empty line
// after a put file's statement.
class PreambleForms {
public:
    // True when `source` (an echoed line's text, or a program's line) has
    // one of those forms.
    static bool Matches(std::string_view source) noexcept;

    // How many of the program file's first lines have those forms: SAS
    // echoes them after the preamble's own, which are then fewer. 0 for a
    // file that cannot be read.
    static long LeadingIn(const std::string& programPath);
};

}  // namespace tamberlo::cli
