#include "TestSupport.h"
#include "cli/run/LogFollower.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

using namespace tamberlo;

namespace {

// Everything written to `file` so far.
std::string Written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (std::size_t count = std::fread(buffer, 1, sizeof buffer, file)) text.append(buffer, count);
    std::fseek(file, 0, SEEK_END);
    return text;
}

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

}  // namespace

TEST(LogFollower, ShowsEachPartOfTheFileOnceAsItGrows) {
    test::TempFolder dir;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), &std::fclose);
    ASSERT_NE(out, nullptr);
    cli::LogFollower follower(out.get());
    const std::string log = dir / "run.log";

    follower.Poll(log);  // not there yet
    EXPECT_EQ(Written(out.get()), "");
    Append(log, "1          data _null_;\r\n");
    follower.Poll(log);
    follower.Poll(log);  // nothing new
    EXPECT_EQ(Written(out.get()), "1          data _null_;\r\n");
    Append(log, "NOTE: half a li");
    follower.Poll(log);
    Append(log, "ne\r\n");
    follower.Poll(log);
    EXPECT_EQ(Written(out.get()), "1          data _null_;\r\nNOTE: half a line\r\n");

    // Another file is shown from its beginning.
    test::WriteFile(dir / "other.log", "other\r\n");
    follower.Poll(dir / "other.log");
    EXPECT_EQ(Written(out.get()), "1          data _null_;\r\nNOTE: half a line\r\nother\r\n");
}
