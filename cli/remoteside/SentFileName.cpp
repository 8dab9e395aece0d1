#include "cli/remoteside/SentFileName.h"

#include "cli/remoteside/RequestRefused.h"
#include "remote/wire/PrintableBytes.h"

namespace tamberlo::cli {

std::vector<std::string> SentFileParts(std::string_view name) {
    const auto refuse = [name](const char* why) {
        return RequestRefused("the file name \"" + remote::PrintableBytes(name, 256) + "\" is refused: " + why);
    };
    if (name.empty()) throw refuse("it is empty");
    if (name.front() == '/') throw refuse("it is absolute");
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = name.find('/', from);
        const std::string_view part = name.substr(from, slash == std::string_view::npos ? slash : slash - from);
        if (part == "..") throw refuse("it leads out of the run's folder (..)");
        if (part.empty() || part == ".") throw refuse("it has an empty or . part");
        parts.emplace_back(part);
        if (slash == std::string_view::npos) return parts;
        from = slash + 1;
    }
}

}  // namespace tamberlo::cli
