#include "engine/Output.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tamberlo;

TEST(Output, FreshOutputHasBothSwitchesOnAndEmptyTexts) {
    Output output;
    EXPECT_TRUE(output.CleanOutput());
    EXPECT_TRUE(output.SafeFormChar());
    EXPECT_EQ(output.Log(), "");
    EXPECT_EQ(output.Lst(), "");
    output.SetCleanOutput(false);
    EXPECT_EQ(output.Log(), "");
    EXPECT_EQ(output.PutFiles()->Count(), 0);
}

TEST(Output, TextsAreCleanedOnEveryReadAndStoredRaw) {
    Output output;
    output.SetLog(
        "a\tb\x0c"
        "c\r\n100%\r\n");
    output.SetLst("\x0cpage\r\n");
    EXPECT_EQ(output.Log(), "a%9b%12c\r\n100%\r\n");
    EXPECT_EQ(output.Lst(), "%12page\r\n");
    output.SetCleanOutput(false);
    EXPECT_EQ(output.Log(),
              "a\tb\x0c"
              "c\r\n100%\r\n");
    EXPECT_EQ(output.Lst(), "\x0cpage\r\n");
}

TEST(Output, ANewOutputTurnsTheThreadsSwitchesBackOn) {
    Output first;
    first.SetCleanOutput(false);
    first.SetSafeFormChar(false);
    Output second;
    EXPECT_TRUE(first.CleanOutput());
    EXPECT_TRUE(first.SafeFormChar());
}

TEST(Output, SwitchesAreSharedOnAThreadAndNeverSeenByAnother) {
    Output output;
    output.SetSafeFormChar(false);
    Output sameThreadReader;  // creating it turns the switches on again
    sameThreadReader.SetSafeFormChar(false);
    EXPECT_FALSE(output.SafeFormChar());

    bool otherThreadSaw = false;
    std::thread([&] { otherThreadSaw = Output().SafeFormChar(); }).join();
    EXPECT_TRUE(otherThreadSaw);
    EXPECT_FALSE(output.SafeFormChar()) << "the other thread's Output changed this thread's switch";
}

TEST(Output, PutFilesIsTheSameCollectionOnEveryCall) {
    Output output;
    EXPECT_EQ(output.PutFiles().get(), output.PutFiles().get());
}
