#include "StandinTest.h"

namespace tamberlo::standin::test {
namespace {

using StandinExamples = StandinTest;

// examples/report.sas with the statements that Tamberlo puts in front of it.
TEST_F(StandinExamples, ReportRunsCleanlyWithTamberlosPreamble) {
    const auto report = Read(HostPath(TAMBERLO_EXAMPLES_DIR "/report.sas"));
    ASSERT_TRUE(report.has_value());
    const std::string put1 = folder_ / "tmpPutFile1.put";
    const std::string put3 = folder_ / "tmpPutFile3.put";
    Write(put1, "");
    Write(put3, "");
    EXPECT_EQ(0, Run("options formchar='|-++++++++++=|-/|<>*';\r\n"
                     "filename _PUT1 '" +
                     put1 +
                     "' mod;\r\n\r\n"
                     "filename _PUT3 '" +
                     put3 + "' mod;\r\n\r\n" + *report));
    EXPECT_EQ("region,quarter,sales\r\nNorth,Q1,1200\r\nSouth,Q1,950\r\nWest,Q1,1150\r\n", Read(put1).value_or(""));
    EXPECT_EQ("regions=3 total=3300\r\n", Read(put3).value_or(""));
    const std::string listing = Read(listing_).value_or("");
    EXPECT_EQ(0u, listing.find("\f" + std::string(32, ' ') + "Quarterly Sales"));
    EXPECT_NE(std::string::npos, listing.find("\r\nTotal      3300\r\n"));
}

}  // namespace
}  // namespace tamberlo::standin::test
