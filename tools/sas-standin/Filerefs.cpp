#include "Filerefs.h"

namespace tamberlo::standin {

bool Filerefs::IsValidName(std::string_view name) {
    if (name.empty() || name.size() > MaxNameLength) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !(digit && i > 0)) return false;
    }
    return true;
}

std::string Filerefs::Upper(std::string_view text) {
    // Only the 26 letters of ASCII have a case in SAS names: each lower-case
    // one becomes the capital at the same place of the alphabet.
    constexpr std::string_view small = "abcdefghijklmnopqrstuvwxyz";
    constexpr std::string_view capital = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        const std::size_t letter = small.find(c);
        result += letter == std::string_view::npos ? c : capital[letter];
    }
    return result;
}

void Filerefs::Assign(std::string_view name, Fileref fileref) { refs_[Upper(name)] = std::move(fileref); }

bool Filerefs::Clear(std::string_view name) { return refs_.erase(Upper(name)) > 0; }

const Filerefs::Fileref* Filerefs::Find(std::string_view name) const {
    const auto found = refs_.find(Upper(name));
    return found == refs_.end() ? nullptr : &found->second;
}

}  // namespace tamberlo::standin
