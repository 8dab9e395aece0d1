// The product, the stand-in and the tests' plain forms held to the same
// documented cases (DocumentedCases.h): each is written its own way, so a
// fault in one shows here instead of being copied into what another is
// tested against.
#include "ConfigurationText.h"
#include "DocumentedCases.h"
#include "NaiveForms.h"
#include "WellFormedUtf8.h"
#include "engine/ConfigurationWords.h"
#include "host/CommandLine.h"
#include "host/SessionEncoding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tamberlo::test {
namespace {

// Where the product's walk over sequences first stops.
std::size_t ProductFirstIllFormed(const std::string& text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = utf8::SequenceLength(text, pos);
        if (length == 0) return pos;
        pos += length;
    }
    return pos;
}

TEST(DocumentedCases, WellFormedUtf8IsTheUnicodeStandardsForTheProductAndTheStandIn) {
    for (const documented::Utf8Case& c : documented::Utf8Cases()) {
        SCOPED_TRACE(c.why);
        const std::size_t first = utf8::FirstInvalid(c.bytes);
        EXPECT_EQ(first == std::string::npos ? c.bytes.size() : first, c.firstIllFormed);
        EXPECT_EQ(ProductFirstIllFormed(c.bytes), c.firstIllFormed);
        EXPECT_EQ(standin::WellFormedUtf8::FirstIllFormed(c.bytes), c.firstIllFormed);
        EXPECT_EQ(standin::WellFormedUtf8::RecordsNotUtf8(c.bytes).empty(), c.firstIllFormed == c.bytes.size());
    }
}

TEST(DocumentedCases, ConfigurationFilesSplitIntoTheSameWordsForTheProductAndTheStandIn) {
    for (const documented::ConfigurationCase& c : documented::ConfigurationCases()) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(ConfigurationWords(c.text), c.words);
        EXPECT_EQ(standin::ConfigurationText::Words(c.text), c.words);
    }
}

TEST(DocumentedCases, QuotedArgumentsAreTheRuntimesForTheProductAndTheTests) {
    for (const documented::QuotingCase& c : documented::QuotingCases()) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(QuoteArgument(c.argument), c.quoted);
        EXPECT_EQ(naive::QuoteArgument(c.argument), c.quoted);
        EXPECT_THAT(SplitCommandLine("p " + c.quoted + " next"), testing::ElementsAre("p", c.argument, "next"));
    }
}

}  // namespace
}  // namespace tamberlo::test
