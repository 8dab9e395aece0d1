#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::cli {

// One record of a CSV text: its fields, unquoted, and the line it starts on.
struct CsvRecord {
    std::size_t line = 0;  // from 1
    std::vector<std::string> fields;
};

// Reads comma-separated values as RFC 4180 writes them: fields in double
// quotes may hold commas, line breaks and quotes (doubled); records end with
// CR LF or LF; a byte order mark at the start is skipped. Empty lines are no
// records. The text must be UTF-8.
class CsvReader {
public:
    // A text that is no such CSV; `Line` is where the fault stands (for an
    // unclosed quote, where the field opened).
    class Malformed : public std::runtime_error {
    public:
        Malformed(std::size_t line, const std::string& reason) : std::runtime_error(reason), line_(line) {}
        std::size_t Line() const noexcept { return line_; }

    private:
        std::size_t line_;
    };

    // Every record in order. Throws Malformed. Time and memory grow with the
    // text's length only.
    static std::vector<CsvRecord> Read(std::string_view text);
};

}  // namespace tamberlo::cli
