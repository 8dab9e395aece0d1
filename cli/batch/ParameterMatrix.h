#pragma once

#include "cli/batch/ProgramList.h"
#include "engine/RunSettings.h"
#include "host/SessionEncoding.h"

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// A table of parameters (--matrix FILE.csv): every program of a batch runs
// once per row with that row's values. The CSV's header names the row
// names' column first (whatever its title) and then the parameters:
// `sysparm`, `set:NAME` and `let:NAME`; each further record is a row, its
// first field the row's name and each other field the value of its column
// (the empty text included).
class ParameterMatrix {
public:
    struct Row {
        std::string name;    // UTF-8, a file name that is safe on every system
        RunSettings values;  // sysparm, environment and macro variables only
    };

    // The table in `file` (command text). Throws UsageError "<file> line N:
    // <reason>" for a table that is malformed or holds a name or value that
    // --sysparm, --set and --let would refuse (a character `encoding` lacks
    // too, where it is known), and "--matrix <file>: <reason>" for a file
    // that cannot be read.
    static ParameterMatrix Load(const std::string& file, const SessionEncoding* encoding);
    // The same for the table's text; `file` names it in messages.
    static ParameterMatrix Parse(const std::string& file, std::string_view text, const SessionEncoding* encoding);

    const std::vector<Row>& Rows() const noexcept { return rows_; }

    // The runs of the programs: each program once per row, in program order
    // and then row order, named "<program>[<row>]", its outputs under
    // "<row>/<program>", with the command line's parameters and the row's
    // values, which win where both name the same parameter.
    BatchProgramList Runs(const BatchProgramList& programs, const RunSettings& commandLine) const;

private:
    std::vector<Row> rows_;
};

}  // namespace tamberlo::cli
