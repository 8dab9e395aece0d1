#include "host/SessionEncoding.h"

#include "EncodedSamples.h"
#include "VectorLevels.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
        {"utf-8", "UTF-8"},
        {"UTF8", "UTF-8"},
        {"wlatin1", "WLATIN1"},
        {"Latin1", "LATIN1"},
        {"wlatin2", "WLATIN2"},
        {"latin2", "LATIN2"},
        {"LATIN9", "LATIN9"},
        {"wcyrillic", "WCYRILLIC"},
        {"shift-jis", "SHIFT-JIS"},
        {"SHIFT_JIS", "SHIFT-JIS"},
        {"euc-jp", "EUC-JP"},
        {"euc-cn", "EUC-CN"},
        {"gb2312", "EUC-CN"},
        {"big5", "BIG5"},
        {"euc_kr", "EUC-KR"},
        {"us-ascii", "US-ASCII"},
        {"any", "ANY"},
    };
    for (const auto& [given, canonical] : names) EXPECT_EQ(Named(given).Name(), canonical) << given;
    EXPECT_FALSE(SessionEncoding::FromName("KLINGON"));
    EXPECT_FALSE(SessionEncoding::FromName(""));
}

TEST(SessionEncoding, TextGoesInAndComesBackByteForByte) {
    std::vector<tamberlo::test::EncodedSample> cases = tamberlo::test::CommonSessionSamples();
    cases.push_back({"LATIN1", "Gr\u00FC\u00DFe \u00B1",
                     "Gr\xFC\xDF"
                     "e \xB1"});
    cases.push_back({"WCYRILLIC", "\u0416", "\xC6"});
    for (const tamberlo::test::EncodedSample& c : cases) {
        const SessionEncoding encoding = Named(c.encoding);
        EXPECT_EQ(encoding.FromUtf8(c.text), c.bytes) << c.encoding;
        std::size_t undecodable = 99;
        EXPECT_EQ(encoding.ToUtf8(c.bytes, &undecodable), c.text) << c.encoding;
        EXPECT_EQ(undecodable, 0u) << c.encoding;
    }
}

// A text is its own UTF-8 exactly when ToUtf8 would give its bytes back.
TEST(SessionEncoding, TellsATextThatIsItsOwnUtf8WithoutConverting) {
    const std::string ascii = std::string(40, 'a') + "\t\r\n";
    const std::vector<std::pair<const char*, std::string>> texts{
        {"LATIN1", ascii},
        {"LATIN1", ascii + "\xE9"},
        {"SHIFT-JIS", ascii},
        {"UTF-8", ascii + "\xC3\xA9"},
        {"UTF-8", ascii + "\xC3"},
        {"UTF-8", "\xEF\xBB\xBF" + ascii},
        {"EUC-KR", ""},
    };
    for (const auto& [name, text] : texts) {
        const SessionEncoding encoding = Named(name);
        EXPECT_EQ(encoding.IsOwnUtf8(text), encoding.ToUtf8(text) == text) << name << " " << text;
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
        {"UTF-8",
         "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
         "e",
         "Gr\u00FC\u00DFe", 0},
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

// UTF-16 for automation strings, counted and converted in one pass each at
// every vector level: sequences of every length, ASCII runs across the
// blocks' edges, and each byte of a sequence that is not valid one U+FFFD.
class SessionEncodingUtf16 : public tamberlo::test::AtEveryVectorLevel {};

TEST_P(SessionEncodingUtf16, CountsAndConvertsEveryUnitAndEveryUndecodableByte) {
    const std::string a31(31, 'a');
    const std::u16string u31(31, u'a');
    struct Case {
        const char* encoding;
        std::string bytes;
        std::u16string units;
        std::size_t undecodable;
    };
    const Case cases[] = {
        {"UTF-8", "\xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80", u"\u00FC \u20AC \xD83D\xDE00", 0},
        {"UTF-8", a31 + "\xC3\xBC" + a31 + a31 + "\xE6\x97\xA5" + std::string("\0\r\n", 3),
         u31 + u"\u00FC" + u31 + u31 + u"\u65E5" + std::u16string(u"\0\r\n", 3), 0},
        // Cut at the end; overlong; a surrogate; above U+10FFFF; a lead byte
        // without its continuation; a stray continuation byte.
        {"UTF-8", a31 + "\xF0\x9F\x98", u31 + u"\uFFFD\uFFFD\uFFFD", 3},
        {"UTF-8", "\xC0\xAF\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", 5},
        {"UTF-8", "\xED\xA0\x80\xF4\x90\x80\x80", std::u16string(7, u'\uFFFD'), 7},
        {"UTF-8", "\xC3(" + a31 + "\x80", u"\uFFFD(" + u31 + u"\uFFFD", 2},
#if defined(_WIN32)
        {"WLATIN1",
         a31 +
             "Gr\xFC\xDF"
             "e " +
             a31 + "\x80",
         u31 + u"Gr\u00FC\u00DFe " + u31 + u"\u20AC", 0},
#endif
    };
    for (const Case& c : cases) {
        const std::size_t length = c.units.size();
        std::size_t undecodable = 99;
        if (Named(c.encoding).IsUtf8()) {
            EXPECT_EQ(tamberlo::utf8::Utf16Length(c.bytes, &undecodable), length) << c.bytes;
            EXPECT_EQ(undecodable, c.undecodable) << c.bytes;
            std::u16string units(length + 16, u'#');
            EXPECT_EQ(tamberlo::utf8::ToUtf16(c.bytes, units.data(), length), length) << c.bytes;
            EXPECT_EQ(units.substr(0, length), c.units) << c.bytes;
            EXPECT_EQ(units.substr(length), std::u16string(16, u'#')) << c.bytes;
            EXPECT_EQ(tamberlo::utf8::ToUtf16(c.bytes, units.data(), length - 1), std::string_view::npos) << c.bytes;
        }
#if defined(_WIN32)
        const SessionEncoding encoding = Named(c.encoding);
        undecodable = 99;
        EXPECT_EQ(encoding.WideLength(c.bytes, &undecodable), length) << c.bytes;
        EXPECT_EQ(undecodable, c.undecodable) << c.bytes;
        std::wstring wide(length, L'#');
        encoding.ToWide(c.bytes, wide.data(), length);
        EXPECT_EQ(wide, std::wstring(c.units.begin(), c.units.end())) << c.bytes;
#endif
    }
}

TAMBERLO_AT_EVERY_VECTOR_LEVEL(SessionEncodingUtf16);
