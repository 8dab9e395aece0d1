#include "engine/EncodingSetting.h"

#include "engine/ConfigurationFileCache.h"
#include "engine/ConfigurationWords.h"
#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/AsciiCase.h"
#include "host/Error.h"
#include "host/FileSystem.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace tamberlo {

namespace {

// As SAS, every -CONFIG met is read where it stands, a file named twice
// twice; only a file that names itself (through others or not) and nesting
// past this depth are cut, as the stand-in cuts them.
constexpr int MaxIncludeDepth = 16;
// A configuration file is a page of options: anything larger is not one.
constexpr std::uintmax_t MaxConfigurationBytes = 1024 * 1024;

// "!SASROOT" and other "!NAME" variables, as SAS expands them in paths.
std::string Expanded(const std::string& path, const std::string& root) {
    std::string out;
    for (std::size_t i = 0; i < path.size();) {
        if (path[i] != '!') {
            out.push_back(path[i++]);
            continue;
        }
        std::size_t end = i + 1;
        while (end < path.size() && (std::isalnum(static_cast<unsigned char>(path[end])) || path[end] == '_')) ++end;
        const std::string name = path.substr(i + 1, end - i - 1);
        std::string value;
        if (AsciiUpper(name) == "SASROOT") {
            value = root;
            if (!value.empty() && value.back() == filesystem::PathSeparator()) value.pop_back();
        } else if (const char* variable = name.empty() ? nullptr : std::getenv(name.c_str())) {
            value = variable;
        } else {
            value = path.substr(i, end - i);
        }
        out += value;
        i = end;
    }
    return out;
}

bool IsAbsolute(const std::string& path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.size() > 1 && path[1] == ':';
}

class Search {
public:
    explicit Search(const std::string& root) : root_(root) {}

    // Walks the options in order; the last -ENCODING wins.
    void Options(std::string_view text, const std::string& origin, const std::string& folder, int depth) {
        const std::vector<std::string> words = ConfigurationWords(text);
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (words[i].size() < 2 || words[i][0] != '-') continue;
            std::string name = AsciiUpper(words[i].substr(1));
            std::optional<std::string> value;
            if (const std::size_t equals = name.find('='); equals != std::string::npos) {
                value = words[i].substr(1 + equals + 1);
                name.resize(equals);
            } else if ((name == "ENCODING" || name == "CONFIG") && i + 1 < words.size()) {
                value = words[++i];
            }
            if (!value) continue;
            if (name == "ENCODING") found = EncodingSetting{*value, origin};
            if (name == "CONFIG") {
                std::string path = Expanded(*value, root_);
                if (!IsAbsolute(path)) path = folder + path;
                File(path, depth + 1, " named in " + origin);
            }
        }
    }

    // `namedIn` tells where the file was named (" named in SASV9_OPTIONS"),
    // for the error that a file which is not a configuration file raises.
    void File(const std::string& path, int depth, const std::string& namedIn) {
        if (depth > MaxIncludeDepth || std::find(open_.begin(), open_.end(), path) != open_.end()) return;
        filesystem::RegularFileRead read;
        try {
            read = ConfigurationFileCache::Shared().Read(path, MaxConfigurationBytes);
        } catch (const Error&) {
            return;  // SAS itself reports a file it cannot read
        }
        using Outcome = filesystem::RegularFileRead::Outcome;
        if (read.outcome == Outcome::NotRegular || read.outcome == Outcome::TooLarge) {
            throw Error(
                ComponentErrorNumber, ExecuteSource,
                "The SAS configuration file '" + path + "'" + namedIn +
                    (read.outcome == Outcome::NotRegular ? " is not a regular file." : " is larger than 1 MiB."));
        }
        if (read.outcome != Outcome::Read) return;
        const std::size_t slash = path.find_last_of(filesystem::PathSeparator() == '\\' ? "\\/" : "/");
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        open_.push_back(path);
        Options(read.text, "the configuration file '" + path + "'", folder, depth);
        open_.pop_back();
    }

    std::optional<EncodingSetting> found;

private:
    const std::string& root_;
    std::vector<std::string> open_;  // the file being read and those that named it
};

}  // namespace

std::optional<EncodingSetting> FindConfiguredEncoding(const std::string& configFile, const std::string& root) {
    Search search(root);
    search.File(configFile, 0, "");
    if (sas::ReadsOptionsVariable) {
        if (const char* options = std::getenv(sas::OptionsVariable)) {
            search.Options(options, std::string(sas::OptionsVariable), std::string(), 0);
        }
    }
    return search.found;
}

SessionEncoding ResolveSessionEncoding(const std::optional<EncodingSetting>& explicitSetting,
                                       const std::string& configFile, const std::string& root) {
    std::optional<EncodingSetting> setting = explicitSetting;
    if (!setting) setting = FindConfiguredEncoding(configFile, root);
    if (!setting) return SessionEncoding::PlatformDefault();
    if (std::optional<SessionEncoding> known = SessionEncoding::FromName(setting->name)) return *known;
    throw Error(ComponentErrorNumber, ExecuteSource,
                "The SAS session encoding '" + setting->name + "' named in " + setting->origin +
                    " is not one that Tamberlo knows.");
}

}  // namespace tamberlo
