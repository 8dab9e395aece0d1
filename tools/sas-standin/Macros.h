#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tamberlo::standin {

class Log;

// The macro processor's share of the subset: global macro variables
// (%LET, &NAME and the automatic &SYSPARM), the environment values of -SET
// and the process (%SYSGET, and SYSGET through %SYSFUNC or %QSYSFUNC).
// Names are case-insensitive. A resolved value is not scanned again, so
// that what %QSYSFUNC returns stays as it is, as macro quoting keeps it.
class Macros {
public:
    Macros(std::string sysparm, std::vector<std::pair<std::string, std::string>> environment);

    // "%LET NAME=text": the text, blanks around it trimmed, resolved. A name
    // that is no SAS name writes SAS's error and sets nothing.
    void Let(std::string_view statementText, Log& log);

    // `text` with its macro references resolved; a reference that names
    // nothing known stays as written, with SAS's WARNING, and a %SYSGET of
    // a value that is not set gives the empty text, with SAS's WARNING.
    std::string Resolve(std::string_view text, Log& log) const;

private:
    // The environment value: -SET first, then the process's; none if neither.
    const std::string* EnvironmentValue(const std::string& name) const;
    // At text[at] == '%': a %SYSGET, %SYSFUNC or %QSYSFUNC call of SYSGET,
    // resolved into `out`; returns where it ends, or `at` if it is none.
    std::size_t ResolveCall(std::string_view text, std::size_t at, std::string& out, Log& log) const;

    std::map<std::string, std::string> variables_;  // upper-case names
    std::map<std::string, std::string> environment_;
    mutable std::string processValue_;
};

}  // namespace tamberlo::standin
