#include "StandinTest.h"

#include <filesystem>

namespace tamberlo::standin::test {
namespace {

using StandinSwitches = StandinTest;

constexpr const char* PrintingProgram = "data _null_; file print; put 'listed'; run;\n";

TEST_F(StandinSwitches, RecordKeepsTheCommandLineAndCurrentDirectory) {
    const std::string record = folder_ / "record.txt";
    EXPECT_EQ(0, Run(PrintingProgram, {{"TAMBERLO_STANDIN_RECORD", record}}));
#ifdef _WIN32
    const std::string expected = CommandLine();
#else
    const std::string expected = Executable() + "\n-nologo\n-noterminal\n-config\n" + Config() + "\n-SYSIN\n" +
                                 program_ + "\n-PRINT\n" + listing_ + "\n-LOG\n" + log_ + "\n";
#endif
    EXPECT_EQ(expected, Read(record).value_or("<no record>"));
    EXPECT_EQ(folder_.Path(), Read(record + ".cwd").value_or("<no record>"));
    EXPECT_EQ(PrintingProgram, Read(record + ".program").value_or("<no record>"));
    EXPECT_TRUE(Exists(log_));  // recording does not replace the run
}

TEST_F(StandinSwitches, NoLogAndNoListLeaveThoseFilesUnwritten) {
    const std::string put = folder_ / "out.put";
    const std::string program = "filename out '" + put + "'; data _null_; file out; put 'p'; file print; put 'l'; run;";
    EXPECT_EQ(0, Run(program, {{"TAMBERLO_STANDIN_NO_LOG", "1"}}));
    EXPECT_FALSE(Exists(log_));
    EXPECT_TRUE(Exists(listing_));
    EXPECT_EQ("p\r\n", Read(put).value_or("<none>"));

    std::filesystem::remove(listing_);
    EXPECT_EQ(0, Run(program, {{"TAMBERLO_STANDIN_NO_LIST", "1"}}));
    EXPECT_TRUE(Exists(log_));
    EXPECT_FALSE(Exists(listing_));

    std::filesystem::remove(log_);
    EXPECT_EQ(0, Run(program, {{"TAMBERLO_STANDIN_NO_LOG", "0"}, {"TAMBERLO_STANDIN_NO_LIST", ""}}));
    EXPECT_TRUE(Exists(log_));
    EXPECT_TRUE(Exists(listing_));
}

TEST_F(StandinSwitches, LogAndListTextsReplaceTheRunsOwnWhileTheProgramStillRuns) {
    const std::string put = folder_ / "out.put";
    const std::string program = "filename out '" + put + "'; data _null_; file out; put 'p'; run; bogus;";
    EXPECT_EQ(2, Run(program, {{"TAMBERLO_STANDIN_LOG", "given log\r\n"}, {"TAMBERLO_STANDIN_LIST", "\fgiven"}}));
    EXPECT_EQ("given log\r\n", Read(log_).value_or("<no log>"));
    EXPECT_EQ("\fgiven", Read(listing_).value_or("<no listing>")) << "written though the run printed nothing";
    EXPECT_EQ("p\r\n", Read(put).value_or("<none>"));
}

TEST_F(StandinSwitches, ExitReplacesTheExitCodeAfterWritingEverything) {
    EXPECT_EQ(7, Run("bogus; " + std::string(PrintingProgram), {{"TAMBERLO_STANDIN_EXIT", "7"}}));
    EXPECT_NE(std::string::npos, Read(log_).value_or("").find("ERROR 180-322"));
    EXPECT_TRUE(Exists(listing_));
    EXPECT_EQ(0, Run("bogus;", {{"TAMBERLO_STANDIN_EXIT", "0"}}));
}

TEST_F(StandinSwitches, SleepComesBeforeTheProgram) {
    EXPECT_EQ(0, Run(PrintingProgram, {{"TAMBERLO_STANDIN_SLEEP", "0.5"}}));
    const std::string log = Read(log_).value_or("<no log>");
    EXPECT_GE(RealTimeAfter(log, "NOTE: The SAS System used:"), 0.5);
    EXPECT_LT(RealTimeAfter(log, "NOTE: DATA statement used"), RealTimeAfter(log, "NOTE: The SAS System used:"));
    EXPECT_TRUE(Exists(listing_));
}

TEST_F(StandinSwitches, CrashWritesTheFirstHalfOfTheLogAndNoListing) {
    std::string program;
    for (int i = 1; i <= 30; ++i) program += "%put line " + std::to_string(i) + " of the log;\n";
    program += PrintingProgram;
    ASSERT_EQ(0, Run(program));
    const std::string full = Read(log_).value_or("");
    ASSERT_GT(full.size(), 1000u);
    std::filesystem::remove(log_);
    std::filesystem::remove(listing_);

    const int code = Run(program, {{"TAMBERLO_STANDIN_CRASH", "1"}});
    EXPECT_NE(0, code);
    EXPECT_NE(1, code);
    EXPECT_NE(2, code);
    EXPECT_EQ(full.substr(0, full.size() / 2), Read(log_).value_or("<no log>"));
    EXPECT_FALSE(Exists(listing_));
}

}  // namespace
}  // namespace tamberlo::standin::test
