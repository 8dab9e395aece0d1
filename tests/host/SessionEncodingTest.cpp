#include "host/SessionEncoding.h"

#include <gtest/gtest.h>

using tamberlo::SessionEncoding;
using tamberlo::UnrepresentableCharacter;

namespace {

SessionEncoding Named(const char* name) {
    const auto encoding = SessionEncoding::FromName(name);
    if (!encoding) throw std::runtime_error(std::string("unknown: ") + name);
    return *encoding;
}

}  // namespace

TEST(SessionEncoding, SASNamesInAnyCaseWithOrWithoutHyphensAndUnderscores) {
    const std::pair<const char*, const char*> names[] = {
        {"utf-8", "UTF-8"},         {"UTF8", "UTF-8"},       {"wlatin1", "WLATIN1"}, {"Latin1", "LATIN1"},
        {"wlatin2", "WLATIN2"},     {"latin2", "LATIN2"},    {"LATIN9", "LATIN9"},   {"wcyrillic", "WCYRILLIC"},
        {"shift-jis", "SHIFT-JIS"}, {"SHIFT_JIS", "SHIFT-JIS"}, {"euc-jp", "EUC-JP"}, {"euc-cn", "EUC-CN"},
        {"gb2312", "EUC-CN"},       {"big5", "BIG5"},        {"euc_kr", "EUC-KR"},   {"us-ascii", "US-ASCII"},
        {"any", "ANY"},
    };
    for (const auto& [given, canonical] : names) EXPECT_EQ(Named(given).Name(), canonical) << given;
    EXPECT_FALSE(SessionEncoding::FromName("KLINGON"));
    EXPECT_FALSE(SessionEncoding::FromName(""));
}

TEST(SessionEncoding, TextGoesInAndComesBackByteForByte) {
    struct Case {
        const char* encoding;
        std::string text;   // UTF-8
        std::string bytes;  // in the encoding
    };
    const Case cases[] = {
        {"UTF-8", "Gr\u00FC\u00DFe, \u20AC and \u65E5\u672C\u8A9E", "Gr\xC3\xBC\xC3\x9F" "e, \xE2\x82\xAC and \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {"WLATIN1", "Gr\u00FC\u00DFe, \u20AC", "Gr\xFC\xDF" "e, \x80"},
        {"LATIN1", "Gr\u00FC\u00DFe \u00B1", "Gr\xFC\xDF" "e \xB1"},
        {"SHIFT-JIS", "\u65E5\u672C\u8A9E", "\x93\xFA\x96\x7B\x8C\xEA"},
        {"WCYRILLIC", "\u0416", "\xC6"},
    };
    for (const Case& c : cases) {
        const SessionEncoding encoding = Named(c.encoding);
        EXPECT_EQ(encoding.FromUtf8(c.text), c.bytes) << c.encoding;
        std::size_t undecodable = 99;
        EXPECT_EQ(encoding.ToUtf8(c.bytes, &undecodable), c.text) << c.encoding;
        EXPECT_EQ(undecodable, 0u) << c.encoding;
    }
}

TEST(SessionEncoding, EveryUndecodableByteBecomesOneReplacementCharacterAndIsCounted) {
    struct Case {
        const char* encoding;
        std::string bytes;
        std::string text;
        std::size_t undecodable;
    };
    const Case cases[] = {
        // Latin-1 bytes in a UTF-8 log; a cut sequence at the end.
        {"UTF-8", "caf\xE9 \xE9t\xE9\r\n", "caf\uFFFD \uFFFDt\uFFFD\r\n", 3},
        {"UTF-8", "ok \xE2\x82", "ok \uFFFD\uFFFD", 2},
        // A byte-order mark is not part of the text.
        {"UTF-8", "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e", "Gr\u00FC\u00DFe", 0},
        // A lead byte of Shift-JIS with nothing after it.
        {"SHIFT-JIS", "\x93\xFA\x93", "\u65E5\uFFFD", 1},
    };
    for (const Case& c : cases) {
        std::size_t undecodable = 99;
        EXPECT_EQ(Named(c.encoding).ToUtf8(c.bytes, &undecodable), c.text) << c.encoding;
        EXPECT_EQ(undecodable, c.undecodable) << c.encoding;
    }
}

TEST(SessionEncoding, ACharacterTheEncodingLacksIsNamedNeverReplaced) {
    struct Case {
        const char* encoding;
        std::string text;
        std::string described;
        std::size_t offset;
    };
    const Case cases[] = {
        {"LATIN1", "x = '\u20AC';", "U+20AC", 5},
        {"WLATIN1", "ab\u65E5", "U+65E5", 2},
        {"SHIFT-JIS", "\u65E5\u00FC", "U+00FC", 3},
        {"US-ASCII", "\u00E9", "U+00E9", 0},
        {"UTF-8", "caf\xE9", "the byte 0xE9, which is not UTF-8", 3},
    };
    for (const Case& c : cases) {
        try {
            Named(c.encoding).FromUtf8(c.text);
            ADD_FAILURE() << c.encoding << ": no error";
        } catch (const UnrepresentableCharacter& character) {
            EXPECT_EQ(character.Describe(), c.described) << c.encoding;
            EXPECT_EQ(character.Offset(), c.offset) << c.encoding;
        }
    }
}
