#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tamberlo::standin {

enum class TokenKind { Word, Number, String, Symbol };

struct Token {
    TokenKind kind = TokenKind::Symbol;
    // As written in the program, quotes of a string included.
    std::string text;
    // A string's contents with its quotes removed and doubled quotes made
    // single; for every other kind the same as `text`.
    std::string value;
    int line = 0;            // 1-based line of the token's first character
    int column = 0;          // 0-based byte column within that line
    std::size_t offset = 0;  // where the token starts in Statement::text
};

struct Statement {
    std::vector<Token> tokens;  // never empty
    // The statement from its first token up to (not including) the ';':
    // comments dropped, each line break turned into one blank, everything
    // else as written.
    std::string text;
    int firstLine = 0;            // line of the first token
    int lastLine = 0;             // line of the ';', or of the last character read
    bool terminated = true;       // false: the program ended before the ';'
    bool unclosedString = false;  // the program ended inside a quoted string
};

// Splits program text into statements. Pure: text in, statements out, no
// state and no failure; any byte sequence gives some list of statements.
//
// Rules: ';' ends a statement unless it is inside quotes; strings are
// '...' or "..." with a doubled quote standing for one quote character and
// may span lines; /* ... */ comments are dropped anywhere outside strings
// (an unclosed one runs to the end of the text); statements with no tokens
// (";;") are skipped. A "* ... ;" comment statement comes back as a
// statement whose first token is the symbol "*": recognising it is left to
// the caller. Lines end at "\n"; a "\r" before it belongs to the line break.
class StatementReader {
public:
    static std::vector<Statement> Read(std::string_view program);

    // The program's lines without their line breaks, as the log echoes
    // them. A final line break does not start another line.
    static std::vector<std::string> Lines(std::string_view program);
};

}  // namespace tamberlo::standin
