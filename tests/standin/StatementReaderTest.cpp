#include "StatementReader.h"

#include <gtest/gtest.h>

namespace tamberlo::standin {
namespace {

TEST(StatementReader, StatementsKeepTheirLinesColumnsAndText) {
    const auto statements = StatementReader::Read("data _null_;\r\n  put 'a;b'\r\n    1.5;\r\nrun;");
    ASSERT_EQ(3u, statements.size());

    const Statement& put = statements[1];
    EXPECT_EQ(2, put.firstLine);
    EXPECT_EQ(3, put.lastLine);
    EXPECT_TRUE(put.terminated);
    EXPECT_EQ("put 'a;b'     1.5", put.text);
    ASSERT_EQ(3u, put.tokens.size());
    EXPECT_EQ(TokenKind::Word, put.tokens[0].kind);
    EXPECT_EQ(2, put.tokens[0].column);
    EXPECT_EQ(TokenKind::String, put.tokens[1].kind);
    EXPECT_EQ("'a;b'", put.tokens[1].text);
    EXPECT_EQ("a;b", put.tokens[1].value);
    EXPECT_EQ(6, put.tokens[1].column);
    EXPECT_EQ(4u, put.tokens[1].offset);
    EXPECT_EQ(TokenKind::Number, put.tokens[2].kind);
    EXPECT_EQ(3, put.tokens[2].line);
    EXPECT_EQ(4, put.tokens[2].column);

    EXPECT_EQ(4, statements[2].firstLine);
    EXPECT_EQ(4, statements[2].lastLine);
}

TEST(StatementReader, DoubledQuotesAndCommentsAreResolved) {
    const auto statements =
        StatementReader::Read("title 'it''s' \"say \"\"hi\"\"\" '/*'; /* ; */ x /* two\nlines; */ y;");
    ASSERT_EQ(2u, statements.size());
    ASSERT_EQ(4u, statements[0].tokens.size());
    EXPECT_EQ("it's", statements[0].tokens[1].value);
    EXPECT_EQ("say \"hi\"", statements[0].tokens[2].value);
    EXPECT_EQ("/*", statements[0].tokens[3].value);
    EXPECT_EQ("x  y", statements[1].text);
    EXPECT_EQ(1, statements[1].firstLine);
    EXPECT_EQ(2, statements[1].lastLine);
}

TEST(StatementReader, EmptyStatementsAreSkippedAndCommentStatementsKept) {
    const auto statements = StatementReader::Read(";;\n ;* note; %put x&y;");
    ASSERT_EQ(2u, statements.size());
    EXPECT_EQ("*", statements[0].tokens[0].text);
    EXPECT_EQ(TokenKind::Symbol, statements[0].tokens[0].kind);
    EXPECT_EQ(2, statements[0].firstLine);
    EXPECT_EQ("%put", statements[1].tokens[0].text);
    EXPECT_EQ(TokenKind::Word, statements[1].tokens[0].kind);
    EXPECT_EQ("%put x&y", statements[1].text);
}

TEST(StatementReader, TextEndingInsideAStatementIsFlagged) {
    auto statements = StatementReader::Read("run");
    ASSERT_EQ(1u, statements.size());
    EXPECT_FALSE(statements[0].terminated);
    EXPECT_FALSE(statements[0].unclosedString);

    statements = StatementReader::Read("put 'abc;\n;");
    ASSERT_EQ(1u, statements.size());
    EXPECT_FALSE(statements[0].terminated);
    EXPECT_TRUE(statements[0].unclosedString);
    EXPECT_EQ("abc;\n;", statements[0].tokens[1].value);
    EXPECT_EQ(2, statements[0].lastLine);

    statements = StatementReader::Read("x; /* never closed; y;");
    ASSERT_EQ(1u, statements.size());
    EXPECT_EQ("x", statements[0].text);
}

// Found by fuzzing: a lone carriage return is no line break, so the
// statement's text keeps it where its tokens do.
TEST(StatementReader, LoneCarriageReturnsStayInTheStatementText) {
    const auto statements = StatementReader::Read("put \"a\r\rb\" x\ry;");
    ASSERT_EQ(1u, statements.size());
    const Statement& put = statements[0];
    EXPECT_EQ("put \"a\r\rb\" x\ry", put.text);
    for (const Token& token : put.tokens) EXPECT_EQ(token.text, put.text.substr(token.offset, token.text.size()));
}

TEST(StatementReader, LinesDropTheirLineBreaks) {
    EXPECT_EQ((std::vector<std::string>{"a", "b", "", "c"}), StatementReader::Lines("a\r\nb\n\nc"));
    EXPECT_EQ((std::vector<std::string>{"a"}), StatementReader::Lines("a\r\n"));
    EXPECT_EQ((std::vector<std::string>{"", ""}), StatementReader::Lines("\n\n"));
    EXPECT_TRUE(StatementReader::Lines("").empty());
}

}  // namespace
}  // namespace tamberlo::standin
