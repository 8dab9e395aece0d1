#include "StatementReader.h"

namespace tamberlo::standin {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

// Walks the text once, keeping the line and column of the current byte.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::vector<Statement> Run() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '/' && Peek(1) == '*') {
                SkipComment();
            } else if (IsBlank(c)) {
                if (open_) AddToText(pos_);
                Advance();
            } else if (c == ';') {
                if (open_) {
                    current_.lastLine = line_;
                    Finish();
                }
                Advance();
            } else {
                ReadToken();
            }
        }
        if (open_) {
            current_.terminated = false;
            Finish();
        }
        return std::move(statements_);
    }

private:
    char Peek(std::size_t ahead) const { return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0'; }

    // Adds the byte at `at` to the statement's text: a line break ("\n" or
    // "\r\n") as one blank, anything else, a lone "\r" included, as it is.
    void AddToText(std::size_t at) {
        const char c = text_[at];
        if (c == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n') return;
        current_.text += c == '\n' ? ' ' : c;
    }

    void Advance() {
        if (text_[pos_] == '\n') {
            ++line_;
            lineStart_ = pos_ + 1;
        }
        ++pos_;
    }

    void SkipComment() {
        Advance();
        Advance();
        while (pos_ < text_.size() && !(text_[pos_] == '*' && Peek(1) == '/')) Advance();
        if (pos_ < text_.size()) {
            Advance();
            Advance();
        }
    }

    void Finish() {
        statements_.push_back(std::move(current_));
        current_ = Statement();
        open_ = false;
    }

    void ReadToken() {
        if (!open_) {
            open_ = true;
            current_.firstLine = line_;
        }
        Token token;
        token.line = line_;
        token.column = static_cast<int>(pos_ - lineStart_);
        token.offset = current_.text.size();
        const std::size_t start = pos_;
        const char c = text_[pos_];

        if (c == '\'' || c == '"') {
            token.kind = TokenKind::String;
            ReadString(c, token);
        } else if (IsLetter(c) || ((c == '%' || c == '&') && IsLetter(Peek(1)))) {
            token.kind = TokenKind::Word;
            Advance();
            while (pos_ < text_.size() && (IsLetter(text_[pos_]) || IsDigit(text_[pos_]))) Advance();
        } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
            token.kind = TokenKind::Number;
            while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
            if (pos_ < text_.size() && text_[pos_] == '.') {
                Advance();
                while (pos_ < text_.size() && IsDigit(text_[pos_])) Advance();
            }
        } else {
            token.kind = TokenKind::Symbol;
            Advance();
        }

        token.text = std::string(text_.substr(start, pos_ - start));
        if (token.kind != TokenKind::String) token.value = token.text;
        for (std::size_t at = start; at < pos_; ++at) AddToText(at);
        current_.lastLine = line_;
        current_.tokens.push_back(std::move(token));
    }

    // Reads from the opening quote to its closing quote; a doubled quote
    // inside stands for one quote character.
    void ReadString(char quote, Token& token) {
        Advance();
        for (;;) {
            if (pos_ >= text_.size()) {
                current_.unclosedString = true;
                return;
            }
            const char c = text_[pos_];
            if (c == quote) {
                if (Peek(1) != quote) {
                    Advance();
                    return;
                }
                Advance();
            }
            token.value += c;
            Advance();
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t lineStart_ = 0;
    int line_ = 1;
    Statement current_;  // being read while open_
    bool open_ = false;
    std::vector<Statement> statements_;
};

}  // namespace

std::vector<Statement> StatementReader::Read(std::string_view program) { return Scanner(program).Run(); }

std::vector<std::string> StatementReader::Lines(std::string_view program) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t end = program.find('\n', start);
        if (end == std::string_view::npos) end = program.size();
        std::string_view line = program.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

}  // namespace tamberlo::standin
