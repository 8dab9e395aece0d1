#pragma once

#include "host/SessionEncoding.h"

#include <optional>
#include <string>

namespace tamberlo {

// A session encoding as someone named it, and where: "--encoding",
// "HKCU\Software\Tamberlo\Encoding", "the configuration file '<path>'".
struct EncodingSetting {
    std::string name;
    std::string origin;
};

// The last -ENCODING of the configuration file, following the -CONFIG files
// it names where they stand (a relative path from the naming file's folder,
// !SASROOT and other !NAME variables expanded), and then, where SAS reads it
// (POSIX), the SASV9_OPTIONS environment variable. None when nothing names
// one; a file that cannot be read names none (SAS itself reports it). A file
// that is not a regular file or is larger than 1 MiB raises error 1,
// "Execute method", naming it and where it was named. A file named twice is
// read twice; one that names itself, and nesting deeper than 16, are cut.
std::optional<EncodingSetting> FindConfiguredEncoding(const std::string& configFile, const std::string& root);

// The explicit setting when there is one, else the configured one, else the
// platform's default. A name the table does not know raises error 1,
// "Execute method", naming it and where it came from.
SessionEncoding ResolveSessionEncoding(const std::optional<EncodingSetting>& explicitSetting,
                                       const std::string& configFile, const std::string& root);

}  // namespace tamberlo
