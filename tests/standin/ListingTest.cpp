#include "StandinTest.h"

namespace tamberlo::standin::test {
namespace {

using StandinListing = StandinTest;

std::string Header(const std::string& title, int left, int right, int page) {
    return "\f" + std::string(static_cast<std::size_t>(left), ' ') + title +
           std::string(static_cast<std::size_t>(right), ' ') + std::to_string(page) + "\r\n";
}

TEST_F(StandinListing, TitleAndFilePrintGiveFormFeedAndHeader) {
    EXPECT_EQ(0, Run("options nodate;\n"
                     "title 'Quarterly Report';\n"
                     "data _null_;\n"
                     "  file print;\n"
                     "  put 'Region' 'North';\n"
                     "  put 'tab\there';\n"
                     "  put;\n"
                     "  put 'end';\n"
                     "run;\n"));
    EXPECT_EQ(Header("Quarterly Report", 32, 32, 1) + "\r\nRegion North\r\ntab\there\r\n\r\nend\r\n",
              Read(listing_).value_or("<no listing>"));
}

TEST_F(StandinListing, DefaultTitleHeaderIsEightyOneColumns) {
    EXPECT_EQ(0, Run("data _null_; file print; put 'x'; run;"));
    const std::string expected =
        "\f                                 The SAS System                                 1\r\n\r\nx\r\n";
    EXPECT_EQ(expected, Read(listing_).value_or("<no listing>"));
}

TEST_F(StandinListing, EveryPrintingStepStartsAPageWithTheTitlesOfTheMoment) {
    EXPECT_EQ(0, Run("data _null_; file print; put 'a'; run;\n"
                     "title1 'First';\n"
                     "title2 'Second';\n"
                     "data _null_; put 'to the log'; run;\n"
                     "data _null_; file print; put 'b'; run;\n"
                     "title;\n"
                     "data _null_; file print; put 'c'; run;\n"));
    EXPECT_EQ(Header("The SAS System", 33, 33, 1) + "\r\na\r\n" +  //
                  Header("First", 37, 38, 2) + std::string(37, ' ') + "Second\r\n\r\nb\r\n" +
                  Header("The SAS System", 33, 33, 3) + "\r\nc\r\n",
              Read(listing_).value_or("<no listing>"));
}

TEST_F(StandinListing, PagesHoldSixtyLinesHeaderIncluded) {
    std::string program = "title 'Long';\ndata _null_; file print;\n";
    for (int i = 1; i <= 59; ++i) program += "put 'row " + std::to_string(i) + "';\n";
    EXPECT_EQ(0, Run(program + "run;\n"));

    std::string expected = Header("Long", 38, 38, 1) + "\r\n";
    for (int i = 1; i <= 58; ++i) expected += "row " + std::to_string(i) + "\r\n";
    expected += Header("Long", 38, 38, 2) + "\r\nrow 59\r\n";
    EXPECT_EQ(expected, Read(listing_).value_or("<no listing>"));
}

}  // namespace
}  // namespace tamberlo::standin::test
