#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tamberlo::standin {

class Stopwatch;

// The log, kept in memory and written whole when the run ends (or, for the
// crash switch, in part); before every pause it is also written as it stands. Every line ends in "\r\n" on
// every platform. Counts the ERROR and WARNING lines that the stand-in
// itself reports; text that a program writes to the log is not counted.
class Log {
public:
    // Width of the line-number field in front of an echoed source line.
    static constexpr std::size_t SourceIndent = 11;

    void Line(std::string_view text);
    void Error(std::string_view text);    // `text` starts with "ERROR"
    void Warning(std::string_view text);  // `text` starts with "WARNING"

    // "12         data _null_;": the number left-aligned in SourceIndent
    // columns, then the source line as written.
    void Source(int number, std::string_view line);
    // "13        +data _null_;": a line of an included file (SOURCE2), the
    // number left-aligned before a "+" in the last column of the field.
    void IncludedSource(int number, std::string_view line);

    // The two lines under an echoed source line that point at a token:
    // hyphens under it and the error number starting at its column.
    void Marker(int column, std::size_t width, int code);

    // "      real time           0.01 seconds" and the cpu time line.
    void Times(const Stopwatch& clock);

    int Errors() const { return errors_; }
    int Warnings() const { return warnings_; }
    const std::string& Text() const { return text_; }

    // Where Spool writes the log so far, as SAS writes its log while it
    // runs: a run stopped midway leaves what it had logged.
    void SpoolTo(std::string path) { spool_ = std::move(path); }
    void Spool() const;

    // Two decimals, as the timing notes show seconds.
    static std::string Seconds(double seconds);

private:
    std::string text_;
    std::string spool_;
    int errors_ = 0;
    int warnings_ = 0;
};

}  // namespace tamberlo::standin
