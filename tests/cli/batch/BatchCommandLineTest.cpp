// The batch's command line: a shard's K/N and the report files named after it.

#include "cli/base/UsageError.h"
#include "cli/batch/BatchCommandLine.h"
#include "cli/reports/ReportSet.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace tamberlo;

namespace {

namespace fs = std::filesystem;

}  // namespace

TEST(BatchCommandLine, ReportFilesAreNamedAfterTheShard) {
    const cli::Shard shard = cli::BatchCommandLine::ParseShard("2/3");
    EXPECT_EQ(shard.index, 2);
    EXPECT_EQ(shard.count, 3);
    EXPECT_EQ(cli::ReportFileName("junit.xml", shard), "junit-2of3.xml");
    EXPECT_EQ(cli::ReportFileName("report", shard), "report-2of3");
    EXPECT_EQ(cli::ReportFileName(".xml", shard), "2of3.xml");
    EXPECT_EQ(cli::ReportFileName("reports/.xml", shard), fs::path("reports/2of3.xml").string());
    EXPECT_EQ(cli::ReportFileName("junit.xml", std::nullopt), "junit.xml");
    for (const char* bad : {"", "1", "1/", "/3", "a/3", "1/0", "-1/3", "1/3/5", "1 /3"}) {
        EXPECT_THROW(cli::BatchCommandLine::ParseShard(bad), cli::UsageError) << bad;
    }
}
