#pragma once

// Cases whose answers come from the rules themselves, not from any code here:
// the Unicode Standard's well-formed UTF-8 (chapter 3, table 3-7), the words
// SAS reads from a configuration file, and the C run-time rules of Windows by
// which a quoted argument is read back. The product's functions, the
// stand-in's and the tests' plain forms are each held to the same table, so
// that none of them can be the reference that hides another's fault.
// Header only and free of GoogleTest.

#include <cstddef>
#include <string>
#include <vector>

namespace tamberlo::test::documented {

struct Utf8Case {
    std::string bytes;
    // Where the first byte that starts no well-formed sequence is; the
    // text's length when it is all well formed.
    std::size_t firstIllFormed;
    const char* why;
};

inline const std::vector<Utf8Case>& Utf8Cases() {
    static const std::vector<Utf8Case> cases = {
        {"", 0, "empty"},
        {std::string("a\0b", 3), 3, "NUL is ASCII"},
        {"\x7F", 1, "the last one-byte form"},
        {"caf\xC3\xA9", 5, "U+00E9, two bytes"},
        {"\xE2\x82\xAC", 3, "U+20AC, three bytes"},
        {"\xF0\x9F\x98\x80", 4, "U+1F600, four bytes"},
        {"\xEF\xBB\xBF", 3, "U+FEFF, the byte-order mark, is well formed"},
        {"\xEF\xBF\xBF", 3, "U+FFFF, a noncharacter, is well formed"},
        {"\xE0\xA0\x80", 3, "U+0800, the first three-byte form"},
        {"\xED\x9F\xBF", 3, "U+D7FF, just below the surrogates"},
        {"\xEE\x80\x80", 3, "U+E000, just above them"},
        {"\xF0\x90\x80\x80", 4, "U+10000, the first four-byte form"},
        {"\xF4\x8F\xBF\xBF", 4, "U+10FFFF, the last code point"},
        {"\x80", 0, "a continuation byte alone"},
        {"\xC0\xAF", 0, "C0 only ever starts an overlong form"},
        {"\xC1\xBF", 0, "C1 likewise"},
        {"\xE0\x80\xAF", 0, "overlong three-byte form of '/'"},
        {"\xE0\x9F\xBF", 0, "overlong three-byte form of U+07FF"},
        {"\xED\xA0\x80", 0, "U+D800, a surrogate"},
        {"\xED\xBF\xBF", 0, "U+DFFF, a surrogate"},
        {"\xF0\x8F\xBF\xBF", 0, "overlong four-byte form of U+FFFF"},
        {"\xF4\x90\x80\x80", 0, "U+110000, past the last code point"},
        {"\xF5\x80\x80\x80", 0, "F5 starts nothing"},
        {"\xFE", 0, "FE starts nothing"},
        {"\xFF", 0, "FF starts nothing"},
        {"ok\xE9 caf", 2, "Latin-1 e-acute before a blank"},
        {"a\xC3", 1, "a sequence cut short by the end"},
        {"\xE2\x82", 0, "three-byte form cut short"},
        {"\xF0\x9F\x98", 0, "four-byte form cut short"},
        {"\xE2\x82"
         "a",
         0, "three-byte form broken by ASCII"},
        {"\xC3\xA9\xC3", 2, "a whole sequence, then a cut one"},
        {"x\n\xC3\n", 2, "a line end cannot continue a sequence"},
    };
    return cases;
}

struct ConfigurationCase {
    std::string text;
    std::vector<std::string> words;
    const char* why;
};

inline const std::vector<ConfigurationCase>& ConfigurationCases() {
    static const std::vector<ConfigurationCase> cases = {
        {"", {}, "empty"},
        {" \t\r\n\v\f", {}, "white space only"},
        {"-encoding utf-8", {"-encoding", "utf-8"}, "an option and its value"},
        {"-ENCODING wlatin1\r\n-CONFIG u8.cfg\r\n", {"-ENCODING", "wlatin1", "-CONFIG", "u8.cfg"}, "CR LF lines"},
        {"\t-nologo\t\t-noterminal", {"-nologo", "-noterminal"}, "tabs separate"},
        {"/* site options */ -memsize 4G", {"-memsize", "4G"}, "a comment before"},
        {"-a /* one\ntwo */ -b", {"-a", "-b"}, "a comment over lines"},
        {"-a /* never closed -b", {"-a"}, "an open comment runs to the end"},
        {"/**/-a", {"-a"}, "an empty comment, then a word straight after"},
        {"/*/ -a */ -b", {"-b"}, "the '*' that opens a comment does not close it"},
        {"-config \"/opt/my sas/site.cfg\"", {"-config", "/opt/my sas/site.cfg"}, "a double-quoted value"},
        {"-sysparm 'a b'", {"-sysparm", "a b"}, "a single-quoted value"},
        {"'it \"is\"' \"it's\"", {"it \"is\"", "it's"}, "the other kind of quotation mark inside"},
        {"\"a /* b */ c\"", {"a /* b */ c"}, "a comment mark inside quotes is text"},
        {"\"\"", {""}, "an empty quoted word"},
        {"-x \"open to the end", {"-x", "open to the end"}, "an unclosed quotation mark"},
        {"\"a\"b", {"a", "b"}, "a quoted word ends at its closing mark"},
        {"a\"b c\"", {"a\"b", "c\""}, "a mark inside a plain word is kept"},
        {"a/*b*/", {"a/*b*/"}, "a comment mark inside a plain word is kept"},
        {"-encoding=utf-8", {"-encoding=utf-8"}, "'=' joins, it does not separate"},
        {"\xC3\xA9t\xC3\xA9 caf\xE9", {"\xC3\xA9t\xC3\xA9", "caf\xE9"}, "bytes above 127 are word characters"},
    };
    return cases;
}

struct QuotingCase {
    std::string argument;
    std::string quoted;  // the argument on a Windows command line
    const char* why;
};

inline const std::vector<QuotingCase>& QuotingCases() {
    static const std::vector<QuotingCase> cases = {
        {"", R"("")", "an empty argument"},
        {"plain", R"("plain")", "always quoted"},
        {"a b\tc", "\"a b\tc\"", "blanks and tabs need no escape inside quotes"},
        {R"(C:\Program Files\SAS\sas.exe)", R"("C:\Program Files\SAS\sas.exe")", "backslashes before a letter stay"},
        {R"(C:\temp\)", R"("C:\temp\\")", "a backslash before the closing mark is doubled"},
        {R"(\\server\share\\)", R"("\\server\share\\\\")", "two at the end become four"},
        {R"(say "hi")", R"("say \"hi\"")", "a quotation mark is escaped"},
        {R"(a\"b)",
         R"("a\\\"b)"
         "\"",
         "a backslash before a mark is doubled, the mark escaped"},
        {R"(a\\"b)",
         R"("a\\\\\"b)"
         "\"",
         "two before a mark become four"},
        {R"(")", R"("\"")", "a quotation mark alone"},
        {R"(\)", R"("\\")", "a backslash alone"},
        {"'%&;<>|^", "\"'%&;<>|^\"", "shell characters are text"},
        {"caf\xC3\xA9", "\"caf\xC3\xA9\"", "bytes above 127 stay"},
    };
    return cases;
}

}  // namespace tamberlo::test::documented
