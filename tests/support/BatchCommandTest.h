#pragma once

#include "CommandTest.h"

#include <string>

namespace tamberlo::test {

// `tamberlo batch` run for real against the SAS stand-in (CommandTest),
// with the programs a test writes into its work folder first:
//   using BatchCommand = test::BatchCommandTest;
//   TEST_F(BatchCommand, ...) { Program("a.sas", "..."); EXPECT_EQ(Batch({"a.sas"}).exitCode, 0); }
// One fixture for the suite in every file that adds to it: GoogleTest takes
// one fixture class per suite.
class BatchCommandTest : public CommandTest {
protected:
    // Writes the program `text` to Work(name), making the folders on the way.
    void Program(const std::string& name, const std::string& text) { WriteWork(name, text); }
};

}  // namespace tamberlo::test
