#include "automation/DebugReport.h"

namespace tamberlo {

namespace {

constexpr std::string_view CrLf = "\r\n";

}  // namespace

DebugReport::DebugReport() {
    const std::string underline(17, '-');
    text_ += underline;
    text_ += CrLf;
    text_ += "Debug Information";
    text_ += CrLf;
    text_ += underline;
    text_ += CrLf;
    text_ += CrLf;
}

void DebugReport::AddSection(std::string_view heading, std::string_view body) {
    AddSection(heading, heading.size(), body);
}

void DebugReport::AddSection(std::string_view heading, std::size_t underlineLength, std::string_view body) {
    text_.reserve(text_.size() + heading.size() + underlineLength + body.size() + 8);
    text_ += heading;
    text_ += CrLf;
    text_.append(underlineLength, '-');
    text_ += CrLf;
    text_ += body;
    text_ += CrLf;
    text_ += CrLf;
}

}  // namespace tamberlo
