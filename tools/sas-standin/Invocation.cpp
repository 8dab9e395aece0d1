#include "Invocation.h"

#include "ConfigurationText.h"
#include "Filerefs.h"
#include "Platform.h"
#include "TextFile.h"

#include <algorithm>

namespace tamberlo::standin {

namespace {

bool IsFlagOption(const std::string& name) {
    const std::vector<std::string>& flags = Platform::FlagOptions();
    return std::find(flags.begin(), flags.end(), name) != flags.end();
}

// System options that SAS knows and the stand-in takes without effect.
bool IsIgnoredValueOption(const std::string& name) { return name == "MEMSIZE" || name == "SORTSIZE" || name == "WORK"; }

}  // namespace

Invocation Invocation::Parse(const std::vector<std::string>& arguments) {
    Invocation invocation;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty() || argument[0] != '-') {
            if (!invocation.sysin) {
                invocation.sysin = argument;
            } else {
                invocation.warnings.push_back("WARNING: Unrecognized argument " + argument + " was ignored.");
            }
            continue;
        }
        const std::string name = Filerefs::Upper(argument.substr(1));
        std::optional<std::string> ignored;
        std::optional<std::string>* value = name == "CONFIG"             ? &invocation.config
                                            : name == "SYSIN"            ? &invocation.sysin
                                            : name == "PRINT"            ? &invocation.print
                                            : name == "LOG"              ? &invocation.log
                                            : name == "ENCODING"         ? &invocation.encoding
                                            : name == "SYSPARM"          ? &invocation.sysparm
                                            : name == "AUTOEXEC"         ? &invocation.autoexec
                                            : IsIgnoredValueOption(name) ? &ignored
                                                                         : nullptr;
        if (name == "SET") {
            if (i + 2 < arguments.size()) {
                invocation.environment.emplace_back(arguments[i + 1], arguments[i + 2]);
                i += 2;
            } else {
                invocation.warnings.push_back("WARNING: Option SET needs a name and a value; it was ignored.");
                i = arguments.size();
            }
        } else if (name == "ECHOAUTO") {
            invocation.echoAutoexec = true;
        } else if (name == "SOURCE2" || name == "NOSOURCE2") {
            invocation.source2 = name == "SOURCE2";
        } else if (value != nullptr) {
            if (i + 1 < arguments.size()) {
                *value = arguments[++i];
            } else {
                invocation.warnings.push_back("WARNING: Option " + name + " needs a value; it was ignored.");
            }
        } else if (!IsFlagOption(name)) {
            if (Platform::RefusesUnknownOptions()) {
                invocation.unknownOptions.push_back(name);
            } else {
                invocation.warnings.push_back("WARNING: Unrecognized SAS option name, " + name + ".");
            }
        }
    }
    return invocation;
}

namespace {

// The last -ENCODING of a configuration file and the files it includes,
// each read wherever it is named; a file that names itself (through others
// or not) and nesting deeper than 16 are cut. `open` holds the file being
// read and those that named it.
void EncodingOfConfiguration(const std::string& path, std::string& encoding, std::vector<std::string>& open) {
    if (open.size() > 16 || std::find(open.begin(), open.end(), path) != open.end()) return;
    const std::optional<std::string> text = TextFile::Read(path);
    if (!text) return;
    open.push_back(path);
    const std::vector<std::string> words = ConfigurationText::Words(*text);
    const std::size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        const std::string name = Filerefs::Upper(words[i]);
        if (name == "-ENCODING") {
            encoding = words[++i];
        } else if (name == "-CONFIG") {
            const std::string& include = words[++i];
            const bool absolute = include[0] == '/' || include[0] == '\\' || (include.size() > 1 && include[1] == ':');
            EncodingOfConfiguration(absolute ? include : folder + include, encoding, open);
        }
    }
    open.pop_back();
}

}  // namespace

std::string Invocation::SessionEncoding() const {
    if (encoding) return *encoding;
    std::string found;
    std::vector<std::string> open;
    if (config) EncodingOfConfiguration(*config, found, open);
    return found;
}

}  // namespace tamberlo::standin
