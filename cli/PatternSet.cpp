#include "cli/PatternSet.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace tamberlo::cli {

namespace {

// True when every match starts at the line's start: the pattern begins
// with "^" and has no "|" outside parentheses (where "^a|b" finds "b"
// anywhere). Escapes, quoted text and character classes ("\Q(\E",
// "[|(]", "[[:alpha:]]") are skipped over.
bool AnchoredAtStart(const std::string& pattern) {
    if (pattern.empty() || pattern.front() != '^') return false;
    int depth = 0;
    for (std::size_t i = 1; i < pattern.size(); ++i) {
        switch (pattern[i]) {
        case '\\':
            // "\Q...\E" quotes its text whole.
            if (pattern.compare(i, 2, "\\Q") == 0) {
                const std::size_t end = pattern.find("\\E", i + 2);
                i = end == std::string::npos ? pattern.size() : end;
            }
            ++i;
            break;
        case '(': ++depth; break;
        case ')': --depth; break;
        case '|':
            if (depth <= 0) return false;
            break;
        case '[':
            // A class ends at the first "]" that is not its first member.
            i += pattern[i + 1 < pattern.size() ? i + 1 : i] == '^' ? 2 : 1;
            if (i < pattern.size() && pattern[i] == ']') ++i;
            while (i < pattern.size() && pattern[i] != ']') {
                if (pattern.compare(i, 2, "[:") == 0) {
                    const std::size_t end = pattern.find(":]", i + 2);
                    if (end != std::string::npos) i = end + 1;
                }
                i += pattern[i] == '\\' ? 2 : 1;
            }
            break;
        default: break;
        }
    }
    return true;
}

// The text every match of a pattern that AnchoredAtStart starts with: its
// plain characters after the "^", less the last when a quantifier that
// allows none of it follows ("^ab*" starts with "a").
std::string_view LeadingText(std::string_view pattern) {
    constexpr std::string_view special = "\\.+*?()|[]{}^$";
    std::size_t end = 1;
    while (end < pattern.size() && special.find(pattern[end]) == std::string_view::npos) ++end;
    if (end < pattern.size() && end > 1 && std::string_view("*?{").find(pattern[end]) != std::string_view::npos) --end;
    return pattern.substr(1, end - 1);
}

// The text a pattern matches when it is nothing but text: plain characters
// and escaped punctuation ("in WORK\.X" is "in WORK.X"), after the "^" of
// one AnchoredAtStart; else none.
std::optional<std::string> PlainText(std::string_view pattern, bool anchored) {
    constexpr std::string_view special = "\\.+*?()|[]{}^$";
    std::string text;
    for (std::size_t i = anchored ? 1 : 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size() && std::ispunct(static_cast<unsigned char>(pattern[i + 1]))) {
            text.push_back(pattern[++i]);
        } else if (special.find(c) == std::string_view::npos) {
            text.push_back(c);
        } else {
            return std::nullopt;
        }
    }
    return text;
}

std::string_view CommonStart(std::string_view a, std::string_view b) {
    std::size_t same = 0;
    while (same < a.size() && same < b.size() && a[same] == b[same]) ++same;
    return a.substr(0, same);
}

}  // namespace

// Patterns anchored at the line's start are searched apart from the others,
// anchored: their automaton gives up at the first byte that starts none of
// them, where one that holds a pattern found anywhere reads the whole line.
// A group of patterns that are plain text is searched as text; a group of
// one pattern by that pattern itself, which skips to the places its leading
// text can start.
class PatternSet::Combined {
public:
    explicit Combined(const std::vector<std::shared_ptr<const re2::RE2>>& regexes) {
        for (const auto& regex : regexes) (AnchoredAtStart(regex->pattern()) ? anchored_ : anywhere_).Add(regex);
        anchored_.Compile();
        anywhere_.Compile();
    }

    // False when no pattern is found; true when one is or when that could
    // not be told (an automaton out of memory on a long line).
    bool MayMatch(std::string_view line) const { return anchored_.MayMatch(line) || anywhere_.MayMatch(line); }

private:
    class Group {
    public:
        explicit Group(re2::RE2::Anchor anchor) : anchor_(anchor) {}

        void Add(const std::shared_ptr<const re2::RE2>& regex) { regexes_.push_back(regex); }

        void Compile() {
            if (anchor_ == re2::RE2::ANCHOR_START && !regexes_.empty() &&
                regexes_.front()->options().case_sensitive()) {
                // Every pattern here starts at the line's start: a line that
                // does not begin with what they all begin with is no match.
                std::string_view start = LeadingText(regexes_.front()->pattern());
                for (const auto& regex : regexes_) start = CommonStart(start, LeadingText(regex->pattern()));
                start_ = start;
            }
            for (const auto& regex : regexes_) {
                std::optional<std::string> text = PlainText(regex->pattern(), anchor_ == re2::RE2::ANCHOR_START);
                if (!text || !regex->options().case_sensitive()) {
                    texts_.clear();
                    break;
                }
                texts_.push_back(std::move(*text));
            }
            if (regexes_.size() < 2 || !texts_.empty()) return;
            set_ = std::make_unique<re2::RE2::Set>(regexes_.front()->options(), anchor_);
            for (const auto& regex : regexes_) set_->Add(regex->pattern(), nullptr);
            set_->Compile();
        }

        bool MayMatch(std::string_view line) const {
            if (line.substr(0, start_.size()) != start_) return false;
            if (!texts_.empty()) {
                const bool anchored = anchor_ == re2::RE2::ANCHOR_START;
                return std::any_of(texts_.begin(), texts_.end(), [&](const std::string& text) {
                    return anchored ? line.substr(0, text.size()) == text : line.find(text) != std::string_view::npos;
                });
            }
            const re2::StringPiece text(line.data(), line.size());
            if (!set_) return !regexes_.empty() && re2::RE2::PartialMatch(text, *regexes_.front());
            re2::RE2::Set::ErrorInfo error{};
            return set_->Match(text, nullptr, &error) || error.kind != re2::RE2::Set::kNoError;
        }

    private:
        re2::RE2::Anchor anchor_;
        std::vector<std::shared_ptr<const re2::RE2>> regexes_;
        std::unique_ptr<re2::RE2::Set> set_;
        std::string start_;               // what every match begins with
        std::vector<std::string> texts_;  // when every pattern is PlainText: those texts
    };

    Group anchored_{re2::RE2::ANCHOR_START};
    Group anywhere_{re2::RE2::UNANCHORED};
};

void PatternSet::Add(std::shared_ptr<const re2::RE2> regex) {
    regexes_.push_back(std::move(regex));
    combined_ = std::make_shared<const Combined>(regexes_);
}

std::optional<std::size_t> PatternSet::FirstMatch(std::string_view line) const {
    if (regexes_.empty() || !combined_->MayMatch(line)) return std::nullopt;
    // Which pattern comes first is the patterns' own search, made for the
    // few lines that get here.
    const re2::StringPiece text(line.data(), line.size());
    for (std::size_t i = 0; i < regexes_.size(); ++i) {
        if (re2::RE2::PartialMatch(text, *regexes_[i])) return i;
    }
    return std::nullopt;
}

}  // namespace tamberlo::cli
