#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tamberlo::cli {

// Where the code-scanning reports place a file: relative to a source root
// (the checkout a CI job scans), or by its full name when it lies outside.
class SourceRoot {
public:
    // `root` is command text as given; empty: the current folder. Links in
    // it are followed, so that a root given through a link holds the files
    // below its target.
    explicit SourceRoot(const std::string& root);

    struct Place {
        bool inside = false;  // below the root
        // UTF-8 with "/" between folders: relative to the root when inside,
        // else the full name ("/srv/x.sas", "C:/x.sas", "//server/share/x.sas").
        std::string path;
        // `path` as a URI: a relative reference when inside, else an
        // absolute file: URI; percent-escaped (Escape).
        std::string uri;
    };

    // `file` is command text, relative to the current folder or full. The
    // folders on its way are resolved through links, the file itself is not.
    Place Locate(const std::string& file) const;

    // The root as an absolute file: URI, ending in "/".
    std::string Uri() const;

    // UTF-8 as a URI path: every byte but ASCII letters, digits, "-", ".",
    // "_", "~" and "/" percent-escaped ("a b" is "a%20b", "#" "%23", "é"
    // "%C3%A9").
    static std::string Escape(std::string_view utf8);

private:
    std::filesystem::path root_;
};

}  // namespace tamberlo::cli
