#include "cli/reports/SourceRoot.h"

#include "cli/base/CommandText.h"

#include <algorithm>
#include <system_error>

namespace tamberlo::cli {
namespace {

namespace fs = std::filesystem;

// The full name of `path`, links on its way followed as far as it exists.
fs::path Resolved(const fs::path& path) {
    std::error_code ec;
    fs::path full = fs::absolute(path, ec);
    if (ec) full = path;
    fs::path canonical = fs::weakly_canonical(full, ec);
    return (ec ? full : canonical).lexically_normal();
}

// The name as command text (the system's bytes, UTF-8 on Windows) with "/"
// between folders, whatever the platform's separator.
std::string Slashed(const fs::path& path) {
    std::string text = commandtext::FromPath(path);
    if (fs::path::preferred_separator != '/') std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

// A full name as a file: URI: "/srv/x" is file:///srv/x, "C:/x" file:///C:/x
// (the drive's colon kept), "//server/share/x" file://server/share/x.
std::string FileUri(const std::string& full) {
    if (full.rfind("//", 0) == 0) return "file:" + SourceRoot::Escape(full);
    if (full.rfind('/', 0) == 0) return "file://" + SourceRoot::Escape(full);
    if (full.size() >= 2 && full[1] == ':') return "file:///" + full.substr(0, 2) + SourceRoot::Escape(full.substr(2));
    return "file:///" + SourceRoot::Escape(full);
}

}  // namespace

SourceRoot::SourceRoot(const std::string& root) : root_(Resolved(commandtext::ToPath(root.empty() ? "." : root))) {}

SourceRoot::Place SourceRoot::Locate(const std::string& file) const {
    const fs::path given = commandtext::ToPath(file);
    const fs::path folder = given.parent_path();
    const fs::path full = Resolved(folder.empty() ? fs::path(".") : folder) / given.filename();
    const fs::path relative = full.lexically_relative(root_);
    Place place;
    place.inside = !relative.empty() && *relative.begin() != ".." && *relative.begin() != ".";
    // The URI escapes the name's own bytes: a name that is not UTF-8 would
    // otherwise name the file its UTF-8 rendering spells.
    const std::string name = Slashed(place.inside ? relative : full);
    place.path = commandtext::ToUtf8(name);
    place.uri = place.inside ? Escape(name) : FileUri(name);
    return place;
}

std::string SourceRoot::Uri() const {
    std::string uri = FileUri(Slashed(root_));
    if (uri.back() != '/') uri += '/';
    return uri;
}

std::string SourceRoot::Escape(std::string_view name) {
    constexpr char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || c == '-' ||
            c == '.' || c == '_' || c == '~' || c == '/') {
            escaped += c;
        } else {
            escaped.append({'%', hex[byte >> 4], hex[byte & 15]});
        }
    }
    return escaped;
}

}  // namespace tamberlo::cli
