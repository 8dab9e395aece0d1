#include "engine/PutFileScan.h"

#include "NaiveForms.h"
#include "VectorLevels.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <random>

using tamberlo::FindPutFileNumbers;
using testing::ElementsAre;
using testing::IsEmpty;

using tamberlo::test::naive::NineThousandSearches;

TEST(PutFileScan, LowerCaseReferenceIsFound) { EXPECT_THAT(FindPutFileNumbers("file _put3;"), ElementsAre(3)); }

TEST(PutFileScan, LongerNumberAlsoDeclaresItsPrefixes) {
    EXPECT_THAT(FindPutFileNumbers("file _PUT10;"), ElementsAre(1, 10));
    EXPECT_THAT(FindPutFileNumbers("_PUT1234"), ElementsAre(1, 12, 123, 1234));
}

TEST(PutFileScan, AscendingWhateverTheOrderOfMentions) {
    EXPECT_THAT(FindPutFileNumbers("file _PUT2; file _PUT1; file _PUT2;"), ElementsAre(1, 2));
}

TEST(PutFileScan, LeadingZeroMatchesNothing) { EXPECT_THAT(FindPutFileNumbers("_PUT0 _PUT01 _put007"), IsEmpty()); }

TEST(PutFileScan, FiveDigitsGiveOnlyTheFirstFourPrefixes) {
    EXPECT_THAT(FindPutFileNumbers("_PUT99999"), ElementsAre(9, 99, 999, 9999));
}

TEST(PutFileScan, CommentsStringsAndLongerNamesCount) {
    EXPECT_THAT(FindPutFileNumbers("/* _PUT4 */ put '_PuT5'; XY_PUT6=1;"), ElementsAre(4, 5, 6));
}

TEST(PutFileScan, NearMissesAndTextEndsAreHandled) {
    EXPECT_THAT(FindPutFileNumbers(""), IsEmpty());
    EXPECT_THAT(FindPutFileNumbers("_PUT"), IsEmpty());
    EXPECT_THAT(FindPutFileNumbers("PUT1 _PU1 __PUT7 _PUT_1 _PUTA2"), ElementsAre(7));
    EXPECT_THAT(FindPutFileNumbers("x_PUT8"), ElementsAre(8));
}

using PutFileScanAtLevel = tamberlo::test::AtEveryVectorLevel;
TAMBERLO_AT_EVERY_VECTOR_LEVEL(PutFileScanAtLevel);

// Long enough for many blocks of 64, so that each block loop and the bytes
// after the last whole block all meet mentions.
TEST_P(PutFileScanAtLevel, EqualsTheNineThousandSearchesOnRandomPrograms) {
    std::mt19937 random(20261207);
    const std::string pieces[] = {"_PUT", "_put", "_Put", "_", "P",    "U", "T",   "0",   "1",  "2",  "5",
                                  "9",    "7",    " ",    ";", "\r\n", "x", "_PU", "PUT", "00", "999"};
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> length(0, 400);
    for (int round = 0; round < 200; ++round) {
        std::string program;
        for (int i = length(random); i > 0; --i) program += pieces[pick(random)];
        ASSERT_EQ(FindPutFileNumbers(program), NineThousandSearches(program)) << program;
        ASSERT_EQ(tamberlo::test::naive::NumbersAfterEachMention(program), NineThousandSearches(program))
            << "the fuzzers' walk: " << program;
    }
}

// A mention at every offset of a long text, the block edges and the text's
// end included: a mention cut short declares the digits it holds.
TEST_P(PutFileScanAtLevel, MentionAtEveryOffsetIsFound) {
    const std::vector<int> prefixes{4, 43, 432, 4321};
    for (std::size_t offset = 0; offset < 200; ++offset) {
        for (std::size_t digits = 0; digits <= 4; ++digits) {
            std::string program = std::string(offset, 'x') + "_pUt" + std::string("4321").substr(0, digits);
            if (offset % 3 != 0) program += std::string(90, ';');
            ASSERT_EQ(FindPutFileNumbers(program), std::vector<int>(prefixes.begin(), prefixes.begin() + digits))
                << "offset " << offset << " digits " << digits;
        }
    }
}
