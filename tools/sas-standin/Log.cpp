#include "Log.h"

#include "Stopwatch.h"
#include "TextFile.h"

#include <cstdio>

namespace tamberlo::standin {

void Log::Line(std::string_view text) {
    text_ += text;
    text_ += "\r\n";
}

void Log::Error(std::string_view text) {
    ++errors_;
    Line(text);
}

void Log::Warning(std::string_view text) {
    ++warnings_;
    Line(text);
}

void Log::Source(int number, std::string_view line) {
    std::string prefix = std::to_string(number);
    prefix.resize(prefix.size() < SourceIndent ? SourceIndent : prefix.size() + 1, ' ');
    Line(prefix + std::string(line));
}

void Log::IncludedSource(int number, std::string_view line) {
    std::string prefix = std::to_string(number);
    prefix.resize(prefix.size() < SourceIndent - 1 ? SourceIndent - 1 : prefix.size() + 1, ' ');
    Line(prefix + "+" + std::string(line));
}

void Log::Marker(int column, std::size_t width, int code) {
    const std::string indent(SourceIndent + static_cast<std::size_t>(column), ' ');
    Line(indent + std::string(width == 0 ? 1 : width, '-'));
    Line(indent + std::to_string(code));
}

void Log::Times(const Stopwatch& clock) {
    Line("      real time           " + Seconds(clock.RealSeconds()) + " seconds");
    Line("      cpu time            " + Seconds(clock.CpuSeconds()) + " seconds");
}

void Log::Spool() const {
    if (!spool_.empty()) TextFile::Write(spool_, text_);
}

std::string Log::Seconds(double seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.2f", seconds);
    return buffer;
}

}  // namespace tamberlo::standin
