#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tamberlo {

// The plain-text report of DebugInfo: a banner, then sections, each a
// heading, an underline of hyphens, the body unchanged and two line breaks.
// Lines end in carriage return and line feed.
class DebugReport {
public:
    void AddSection(std::string heading, std::string body);
    // With an underline of its own length (a put file's is as long as its key alone).
    void AddSection(std::string heading, std::size_t underlineLength, std::string body);
    // The same with a body that is copied only into the rendered report, so
    // that large texts are not held twice on the way: it must stay as it is
    // until Render has returned. With `cleanControlChars` the body goes in
    // as CleanControlChars makes it, cleaned straight into its place.
    void AddBorrowedSection(std::string heading, std::size_t underlineLength, std::string_view body,
                            bool cleanControlChars = false);

    // The whole report, laid out once at its exact size: it holds every log,
    // listing and put file, and regrowing it step by step would copy them
    // again and again.
    std::string Render() const;

private:
    struct Section {
        std::string heading;
        std::size_t underlineLength;
        std::string ownBody;
        std::string_view borrowedBody;
        bool borrowed;
        bool cleanControlChars;

        std::string_view Body() const noexcept { return borrowed ? borrowedBody : ownBody; }
    };
    static std::size_t BodySize(const Section& section) noexcept;

    std::vector<Section> sections_;
};

}  // namespace tamberlo
