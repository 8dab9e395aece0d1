#include "ConfigurationText.h"

namespace tamberlo::standin {

namespace {

bool Separates(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Where the reader is: one character at a time, each state says what the
// next character means.
enum class State { Between, Plain, Quoted, Comment };

}  // namespace

std::vector<std::string> ConfigurationText::Words(std::string_view text) {
    std::vector<std::string> words;
    State state = State::Between;
    char quote = 0;
    std::string word;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool pairFollows = i + 1 < text.size();
        switch (state) {
        case State::Between:
            if (Separates(c)) break;
            if (c == '/' && pairFollows && text[i + 1] == '*') {
                state = State::Comment;
                ++i;  // the '*' opens the comment, it cannot close it
            } else if (c == '"' || c == '\'') {
                state = State::Quoted;
                quote = c;
            } else {
                state = State::Plain;
                word += c;
            }
            break;
        case State::Plain:
            if (Separates(c)) {
                words.push_back(word);
                word.clear();
                state = State::Between;
            } else {
                word += c;
            }
            break;
        case State::Quoted:
            if (c == quote) {
                words.push_back(word);
                word.clear();
                state = State::Between;
            } else {
                word += c;
            }
            break;
        case State::Comment:
            if (c == '*' && pairFollows && text[i + 1] == '/') {
                state = State::Between;
                ++i;
            }
            break;
        }
    }
    // A word that the text's end cut short is still a word.
    if (state == State::Plain || state == State::Quoted) words.push_back(word);
    return words;
}

}  // namespace tamberlo::standin
