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
        // The file as a URI: a relative reference when inside, else an
        // absolute file: URI; the name's own bytes percent-escaped (Escape),
        // so that a name that is not UTF-8 keeps its bytes.
        std::string uri;
    };

    // `file` is command text, relative to the current folder or full. The
    // folders on its way are resolved through links, the file itself is not.
    Place Locate(const std::string& file) const;

    // The root as an absolute file: URI, ending in "/".
    std::string Uri() const;

    // A name as a URI path: every byte but ASCII letters, digits, "-", ".",
    // "_", "~" and "/" percent-escaped ("a b" is "a%20b", "#" "%23", "é" in
    // UTF-8 "%C3%A9", the byte 0xFF "%FF").
    static std::string Escape(std::string_view name);

private:
    std::filesystem::path root_;
};

}  // namespace tamberlo::cli
