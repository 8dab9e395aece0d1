// The batch's progress on a terminal.

#include "cli/batch/BatchProgress.h"
#include "cli/run/ProgramOutcome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace tamberlo;

#ifndef _WIN32
// The table on a terminal lines names up by the columns they take, not
// their bytes: a CJK character takes two.
TEST(BatchProgress, TheTableLinesUpNamesOfAnyScript) {
    std::vector<cli::ProgramOutcome> outcomes(3);
    outcomes[0].program.name = "Gr\u00FC\u00DFe";
    outcomes[1].program.name = "\u65E5\u672Ca";
    outcomes[2].program.name = "abcde";
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    cli::BatchProgress(out, true, outcomes.size()).Finish(outcomes, false);
    std::rewind(out);
    char line[256];
    std::vector<std::string> lines;
    while (std::fgets(line, sizeof line, out)) lines.emplace_back(line);
    std::fclose(out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[1], outcomes[0].program.name + lines[3].substr(5));
    EXPECT_EQ(lines[2], outcomes[1].program.name + lines[3].substr(5));
}
#endif
