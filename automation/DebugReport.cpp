#include "automation/DebugReport.h"

#include "host/ControlChars.h"

#include <string_view>

namespace tamberlo {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr std::string_view Title = "Debug Information";

}  // namespace

std::size_t DebugReport::BodySize(const Section& section) noexcept {
    return section.cleanControlChars ? CleanedSize(section.Body()) : section.Body().size();
}

void DebugReport::AddSection(std::string heading, std::string body) {
    const std::size_t underlineLength = heading.size();
    AddSection(std::move(heading), underlineLength, std::move(body));
}

void DebugReport::AddSection(std::string heading, std::size_t underlineLength, std::string body) {
    sections_.push_back({std::move(heading), underlineLength, std::move(body), {}, false, false});
}

void DebugReport::AddBorrowedSection(std::string heading, std::size_t underlineLength, std::string_view body,
                                     bool cleanControlChars) {
    sections_.push_back({std::move(heading), underlineLength, {}, body, true, cleanControlChars});
}

std::string DebugReport::Render() const {
    std::size_t size = 3 * (Title.size() + CrLf.size()) + CrLf.size();
    for (const Section& section : sections_)
        size += section.heading.size() + section.underlineLength + BodySize(section) + 4 * CrLf.size();

    std::string text;
    text.reserve(size);
    const std::string underline(Title.size(), '-');
    text.append(underline).append(CrLf).append(Title).append(CrLf).append(underline).append(CrLf).append(CrLf);
    for (const Section& section : sections_) {
        text.append(section.heading).append(CrLf);
        text.append(section.underlineLength, '-').append(CrLf);
        if (section.cleanControlChars) {
            AppendCleanControlChars(text, section.Body());
        } else {
            text.append(section.Body());
        }
        text.append(CrLf).append(CrLf);
    }
    return text;
}

}  // namespace tamberlo
