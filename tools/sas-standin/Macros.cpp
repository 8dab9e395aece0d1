#include "Macros.h"

#include "Filerefs.h"
#include "Log.h"

#include <cctype>
#include <cstdlib>

namespace tamberlo::standin {

namespace {

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads what a call is made of: blanks, then an expected character or a name.
class Cursor {
public:
    Cursor(std::string_view text, std::size_t at) : text_(text), at_(at) {}
    bool Take(char c) {
        Skip();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    std::string Name() {
        Skip();
        const std::size_t start = at_;
        while (at_ < text_.size() && IsNameChar(text_[at_])) ++at_;
        return std::string(text_.substr(start, at_ - start));
    }
    std::size_t At() const { return at_; }

private:
    void Skip() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) ++at_;
    }
    std::string_view text_;
    std::size_t at_;
};

}  // namespace

Macros::Macros(std::string sysparm, std::vector<std::pair<std::string, std::string>> environment) {
    variables_["SYSPARM"] = std::move(sysparm);
    for (auto& [name, value] : environment) environment_[name] = std::move(value);
}

void Macros::Let(std::string_view statementText, Log& log) {
    // "%LET" itself, then NAME=text.
    const std::string_view rest = statementText.substr(4);
    const std::size_t equals = rest.find('=');
    const std::string_view name = Trim(rest.substr(0, equals));
    bool valid = equals != std::string_view::npos && !name.empty() && name.size() <= 32 && IsNameStart(name[0]);
    for (const char c : name) valid = valid && IsNameChar(c);
    if (!valid) {
        log.Error("ERROR: Invalid symbolic variable name " + Filerefs::Upper(name) + ".");
        return;
    }
    variables_[Filerefs::Upper(name)] = Resolve(Trim(rest.substr(equals + 1)), log);
}

std::string Macros::Resolve(std::string_view text, Log& log) const {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '%') {
            const std::size_t end = ResolveCall(text, i, out, log);
            if (end != i) {
                i = end;
                continue;
            }
        } else if (text[i] == '&' && i + 1 < text.size() && IsNameStart(text[i + 1])) {
            std::size_t end = i + 1;
            while (end < text.size() && IsNameChar(text[end])) ++end;
            const std::string name = Filerefs::Upper(text.substr(i + 1, end - i - 1));
            const auto found = variables_.find(name);
            if (found == variables_.end()) {
                log.Warning("WARNING: Apparent symbolic reference " + name + " not resolved.");
                out.append(text.substr(i, end - i));
            } else {
                out += found->second;
                if (end < text.size() && text[end] == '.') ++end;  // the reference's own end
            }
            i = end;
            continue;
        }
        out += text[i++];
    }
    return out;
}

const std::string* Macros::EnvironmentValue(const std::string& name) const {
    if (const auto set = environment_.find(name); set != environment_.end()) return &set->second;
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return nullptr;
    processValue_ = value;
    return &processValue_;
}

std::size_t Macros::ResolveCall(std::string_view text, std::size_t at, std::string& out, Log& log) const {
    Cursor cursor(text, at + 1);
    const std::string function = Filerefs::Upper(cursor.Name());
    if (function == "SYSGET") {
        std::string name;
        if (!cursor.Take('(') || (name = cursor.Name()).empty() || !cursor.Take(')')) return at;
        if (const std::string* value = EnvironmentValue(name)) {
            out += *value;
        } else {
            log.Warning("WARNING: The argument to macro function %SYSGET is not defined as a system variable.");
        }
        return cursor.At();
    }
    if (function == "SYSFUNC" || function == "QSYSFUNC") {
        std::string name;
        if (!cursor.Take('(') || Filerefs::Upper(cursor.Name()) != "SYSGET" || !cursor.Take('(') ||
            (name = cursor.Name()).empty() || !cursor.Take(')') || !cursor.Take(')')) {
            return at;
        }
        // The data step function gives a blank for a value that is not set.
        if (const std::string* value = EnvironmentValue(name)) out += *value;
        return cursor.At();
    }
    return at;
}

}  // namespace tamberlo::standin
