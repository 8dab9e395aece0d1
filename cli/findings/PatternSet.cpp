#include "cli/findings/PatternSet.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>
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

// The most instructions of a pattern searched alone by RE2 itself: its
// automaton's states are then a few KiB at most, and thousands of them fit.
constexpr int smallProgram = 1000;

std::string_view CommonStart(std::string_view a, std::string_view b) {
    std::size_t same = 0;
    while (same < a.size() && same < b.size() && a[same] == b[same]) ++same;
    return a.substr(0, same);
}

}  // namespace

// Patterns anchored at the line's start are searched apart from the others,
// anchored: their automaton gives up at the first byte that starts none of
// them, where one that holds a pattern found anywhere reads the whole line.
// A group of patterns that are plain text is searched as text; a small
// pattern alone by RE2 itself, which skips ahead to its leading text and
// reads a pattern anchored at the end from the end (its program is too
// small for the DFA to lack room); the others by an RE2::Set, which runs
// the DFA alone: a line that matches none is read once, and only a line
// that matches is read again to tell which.
class PatternSet::Combined {
public:
    explicit Combined(const std::vector<std::shared_ptr<const re2::RE2>>& regexes) {
        for (std::size_t i = 0; i < regexes.size(); ++i)
            (AnchoredAtStart(regexes[i]->pattern()) ? anchored_ : anywhere_).Add(i, regexes[i]);
        anchored_.Compile();
        anywhere_.Compile();
    }

    std::optional<std::size_t> FirstMatch(std::string_view line) const {
        const std::optional<std::size_t> anchored = anchored_.FirstMatch(line);
        const std::optional<std::size_t> anywhere = anywhere_.FirstMatch(line);
        if (!anchored || !anywhere) return anchored ? anchored : anywhere;
        return std::min(*anchored, *anywhere);
    }

private:
    class Group {
    public:
        explicit Group(re2::RE2::Anchor anchor) : anchor_(anchor) {}

        void Add(std::size_t position, const std::shared_ptr<const re2::RE2>& regex) {
            positions_.push_back(position);
            regexes_.push_back(regex);
        }

        void Compile() {
            if (regexes_.empty()) return;
            if (anchor_ == re2::RE2::ANCHOR_START && regexes_.front()->options().case_sensitive()) {
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
            if (!texts_.empty()) return;
            if (regexes_.size() == 1 && regexes_.front()->ProgramSize() <= smallProgram) {
                alone_ = regexes_.front();
                return;
            }
            re2::RE2::Options options = regexes_.front()->options();
            options.set_max_mem(AutomatonMemory);
            set_ = std::make_unique<re2::RE2::Set>(options, anchor_);
            for (const auto& regex : regexes_) set_->Add(regex->pattern(), nullptr);
            if (!set_->Compile()) throw std::length_error(TooLarge("their program"));
            // The DFA is made at the first search, and refuses to start
            // without room for a few of its largest states.
            re2::RE2::Set::ErrorInfo error{};
            set_->Match("ERROR: a line to try the automaton on", nullptr, &error);
            if (error.kind != re2::RE2::Set::kNoError)
                throw std::length_error(TooLarge("the states of their automaton"));
        }

        std::optional<std::size_t> FirstMatch(std::string_view line) const {
            if (regexes_.empty() || line.substr(0, start_.size()) != start_) return std::nullopt;
            if (!texts_.empty()) {
                const bool anchored = anchor_ == re2::RE2::ANCHOR_START;
                for (std::size_t i = 0; i < texts_.size(); ++i) {
                    const std::string& text = texts_[i];
                    if (anchored ? line.substr(0, text.size()) == text : line.find(text) != std::string_view::npos)
                        return positions_[i];
                }
                return std::nullopt;
            }
            const re2::StringPiece text(line.data(), line.size());
            if (alone_) return re2::RE2::PartialMatch(text, *alone_) ? std::optional(positions_.front()) : std::nullopt;
            re2::RE2::Set::ErrorInfo error{};
            if (!set_->Match(text, nullptr, &error)) return Checked(error);
            // Which pattern comes first takes a second pass, made only for
            // the lines that some pattern matches.
            std::vector<int> matched;
            if (!set_->Match(text, &matched, &error)) return Checked(error);
            return positions_[static_cast<std::size_t>(*std::min_element(matched.begin(), matched.end()))];
        }

    private:
        std::string TooLarge(const char* what) const {
            return "the " + std::to_string(regexes_.size()) + " pattern" + (regexes_.size() == 1 ? "" : "s") +
                   " together are too large to be matched at the speed of an automaton: " + what +
                   " would need more than " + std::to_string(AutomatonMemory >> 20) +
                   " MiB; give fewer or simpler patterns";
        }

        static std::optional<std::size_t> Checked(const re2::RE2::Set::ErrorInfo& error) {
            if (error.kind != re2::RE2::Set::kNoError) throw std::length_error("a pattern automaton ran out of memory");
            return std::nullopt;
        }

        re2::RE2::Anchor anchor_;
        std::vector<std::size_t> positions_;  // of regexes_ in the whole set
        std::vector<std::shared_ptr<const re2::RE2>> regexes_;
        std::unique_ptr<re2::RE2::Set> set_;
        std::shared_ptr<const re2::RE2> alone_;  // a small pattern alone
        std::string start_;                      // what every match begins with
        std::vector<std::string> texts_;         // when every pattern is PlainText: those texts
    };

    Group anchored_{re2::RE2::ANCHOR_START};
    Group anywhere_{re2::RE2::UNANCHORED};
};

void PatternSet::Add(std::shared_ptr<const re2::RE2> regex) {
    regexes_.push_back(std::move(regex));
    combined_.reset();
}

void PatternSet::Compile() {
    combined_.reset();
    if (!regexes_.empty()) combined_ = std::make_shared<const Combined>(regexes_);
}

std::optional<std::size_t> PatternSet::FirstMatch(std::string_view line) const {
    if (regexes_.empty()) return std::nullopt;
    if (!combined_) throw std::logic_error("patterns searched before they were compiled");
    return combined_->FirstMatch(line);
}

}  // namespace tamberlo::cli
