#include "cli/base/OwnedTempName.h"

#include "cli/base/CommandText.h"
#include "cli/base/Console.h"

#include <charconv>
#include <random>
#include <system_error>

namespace tamberlo::cli {

namespace fs = std::filesystem;

OwnedTempName::OwnedTempName(std::string prefix, std::string suffix)
    : prefix_(std::move(prefix)), suffix_(std::move(suffix)), host_(console::HostName()) {}

std::string OwnedTempName::New() const {
    static thread_local std::mt19937_64 digits{std::random_device{}()};
    return prefix_ + std::to_string(console::ProcessId()) + "@" + host_ + "." + std::to_string(digits() % 1000000000) +
           suffix_;
}

bool OwnedTempName::IsLeftover(const std::string& name) const {
    if (name.size() <= prefix_.size() + suffix_.size() || name.compare(0, prefix_.size(), prefix_) != 0 ||
        name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0) {
        return false;
    }
    // "<process id>@<host>.<digits>"
    const std::string_view owner(name.data() + prefix_.size(), name.size() - prefix_.size() - suffix_.size());
    const std::size_t at = owner.find('@'), dot = owner.rfind('.');
    if (at == std::string_view::npos || dot == std::string_view::npos || dot < at) return false;
    const std::string_view process = owner.substr(0, at), digits = owner.substr(dot + 1);
    unsigned long id = 0;
    const auto [end, ec] = std::from_chars(process.data(), process.data() + process.size(), id);
    if (ec != std::errc{} || end != process.data() + process.size() || owner.substr(at + 1, dot - at - 1) != host_ ||
        digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    return !console::ProcessRuns(id);
}

void OwnedTempName::RemoveLeftovers(const fs::path& folder) const {
    std::error_code ec;
    for (fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code removed;
        if (IsLeftover(commandtext::FromPath(it->path().filename()))) fs::remove_all(it->path(), removed);
    }
}

}  // namespace tamberlo::cli
