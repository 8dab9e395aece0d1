#include "host/ControlChars.h"

#include "NaiveForms.h"
#include "VectorLevels.h"

#include <gtest/gtest.h>

#include <random>

using namespace tamberlo;

using test::naive::ThirtyReplacements;

TEST(CleanControlChars, EveryControlCodeButLineFeedAndCarriageReturnBecomesPercentCode) {
    for (int code = 1; code <= 31; ++code) {
        const std::string text = "a" + std::string(1, static_cast<char>(code)) + "b";
        const std::string expected = code == 10 || code == 13 ? text : "a%" + std::to_string(code) + "b";
        EXPECT_EQ(CleanControlChars(text), expected) << "code " << code;
    }
}

TEST(CleanControlChars, TabFormFeedAndLineBreaks) {
    EXPECT_EQ(CleanControlChars("a\tb\x0c"
                                "c\r\nd"),
              "a%9b%12c\r\nd");
}

TEST(CleanControlChars, NulPercentAndHighCharactersStay) {
    const std::string text = std::string("x\0y%9 \x7f\x80\xff", 9);
    EXPECT_EQ(CleanControlChars(text), text);
}

TEST(CleanControlChars, EmptyTextStaysEmpty) { EXPECT_EQ(CleanControlChars(""), ""); }

using CleanControlCharsAtLevel = tamberlo::test::AtEveryVectorLevel;
TAMBERLO_AT_EVERY_VECTOR_LEVEL(CleanControlCharsAtLevel);

TEST_P(CleanControlCharsAtLevel, EqualsThirtyReplacementsOnRandomTexts) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> length(0, 300);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> control(0, 40);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            // Mostly control characters and digits, to make neighbours interact.
            const int pick = control(random);
            text += static_cast<char>(pick < 32 ? pick : pick < 36 ? '%' : pick < 38 ? '1' : byte(random));
        }
        const std::string expected = ThirtyReplacements(text);
        ASSERT_EQ(CleanControlChars(text), expected) << "round " << round;
        // The counting forms agree with the cleaning itself.
        ASSERT_EQ(CleanedSize(text), expected.size()) << "round " << round;
        ASSERT_EQ(NeedsCleaning(text), expected != text) << "round " << round;
    }
}

// One control character at every offset of a long plain text: each block
// loop, the blocks of 16 and the bytes after them find it.
TEST_P(CleanControlCharsAtLevel, ControlCharacterAtEveryOffsetOfALongText) {
    for (std::size_t offset = 0; offset < 300; ++offset) {
        std::string text(300, 'a');
        text[offset] = '\f';
        const std::string cleaned = CleanControlChars(text);
        ASSERT_EQ(cleaned, text.substr(0, offset) + "%12" + text.substr(offset + 1)) << "offset " << offset;
    }
}

// Appended after what a buffer holds, whatever room it has already: none,
// exactly the cleaned text's, or plenty.
TEST(CleanControlChars, AppendsAfterWhatABufferHolds) {
    const std::string text = std::string(100, 'a') + "\t" + std::string(40, '\f') + "b";
    const std::string expected = "kept" + ThirtyReplacements(text);
    for (const std::size_t room : {std::size_t{0}, expected.size(), 4 * expected.size()}) {
        std::string buffer = "kept";
        buffer.reserve(room);
        AppendCleanControlChars(buffer, text);
        EXPECT_EQ(buffer, expected) << "room " << room;
    }
}
