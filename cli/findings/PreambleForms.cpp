#include "cli/findings/PreambleForms.h"

#include "cli/base/CommandText.h"
#include "engine/SASContract.h"

#include <fstream>
#include <string>

namespace tamberlo::cli {
namespace {

bool IsNameCharacter(char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// "NAME" of a macro variable up to `end`, and the rest after it.
bool TakeName(std::string_view& text, char end, std::string_view* name) noexcept {
    std::size_t length = 0;
    while (length < text.size() && IsNameCharacter(text[length])) ++length;
    if (length == 0 || length == text.size() || text[length] != end) return false;
    if (name != nullptr) *name = text.substr(0, length);
    text.remove_prefix(length + 1);
    return true;
}

bool StartsWith(std::string_view text, std::string_view head) noexcept { return text.substr(0, head.size()) == head; }

// "%LET NAME=;" or "%LET NAME=%QSYSFUNC(SYSGET(TAMBERLO_LET_NAME));"
bool IsMacroVariable(std::string_view text) {
    constexpr std::string_view let = "%LET ";
    if (!StartsWith(text, let)) return false;
    text.remove_prefix(let.size());
    std::string_view name;
    if (!TakeName(text, '=', &name)) return false;
    return text == ";" ||
           text == "%QSYSFUNC(SYSGET(" + std::string(sas::MacroCarrierPrefix) + std::string(name) + "));";
}

// "filename _PUT12 '/tmp/...' mod;"
bool IsPutFile(std::string_view text) {
    const std::string head = "filename " + std::string(sas::PutFileKeyPrefix);
    if (!StartsWith(text, head)) return false;
    text.remove_prefix(head.size());
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    text.remove_prefix(digits);
    constexpr std::string_view tail = "' mod;";
    return digits > 0 && StartsWith(text, " '") && text.size() >= 2 + tail.size() &&
           text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

bool PreambleForms::Matches(std::string_view source) noexcept {
    while (!source.empty() && (source.back() == ' ' || source.back() == '\r')) source.remove_suffix(1);
    try {
        return source.empty() || source == sas::FormCharStatement || IsMacroVariable(source) || IsPutFile(source);
    } catch (...) {
        return false;
    }
}

long PreambleForms::LeadingIn(const std::string& programPath) {
    // Of the program, its start: forms are short, and a program does not
    // begin with pages of them.
    std::string start(1 << 16, '\0');
    std::ifstream program(commandtext::ToPath(programPath), std::ios::binary);
    program.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(program.gcount()));
    long leading = 0;
    for (std::size_t at = 0; at < start.size();) {
        const std::size_t end = start.find('\n', at);
        if (end == std::string::npos || !Matches(std::string_view(start).substr(at, end - at))) break;
        ++leading;
        at = end + 1;
    }
    return leading;
}

}  // namespace tamberlo::cli
