#pragma once

#include <string>
#include <string_view>

namespace tamberlo {

// The plain-text report of DebugInfo: a banner, then sections, each a
// heading, an underline of hyphens, the body unchanged and two line breaks.
// Lines end in carriage return and line feed.
class DebugReport {
public:
    DebugReport();

    void AddSection(std::string_view heading, std::string_view body);
    // With an underline of its own length (a put file's is as long as its key alone).
    void AddSection(std::string_view heading, std::size_t underlineLength, std::string_view body);

    const std::string& Text() const noexcept { return text_; }

private:
    std::string text_;
};

}  // namespace tamberlo
