#include "ErrorMatcher.h"
#include "TestSupport.h"
#include "engine/Output.h"
#include "engine/PutFiles.h"
#include "host/Error.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace tamberlo;
using tamberlo::test::IsError;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Put files are made in the system temporary folder: point it at a folder of
// the test's own, so that what is left behind can be seen.
class PutFilesTest : public testing::Test {
protected:
    test::TempFolder dir;
    test::ScopedTempDirectory scopedTemp{dir.Path()};
    Output output;  // switches on for this thread
};

}  // namespace

TEST_F(PutFilesTest, AddPutFileMakesAnEmptyFileAndItsStatement) {
    PutFiles files;
    const std::string statement = files.AddPutFile(1);
    const auto item = files.Item(1);
    EXPECT_EQ(item->Key(), "_PUT1");
    ASSERT_EQ(item->Path().rfind(dir.Path() + "tmpPutFile_PUT1_", 0), 0u) << item->Path();
    EXPECT_EQ(item->Path().substr(item->Path().size() - 4), ".put");
    EXPECT_TRUE(test::Exists(item->Path()));
    EXPECT_EQ(test::ReadFile(item->Path()), "");
    EXPECT_EQ(statement, "filename _PUT1 '" + item->Path() + "' mod;\r\n");
}

TEST_F(PutFilesTest, KeyOf9999HasEightCharacters) {
    PutFiles files;
    files.AddPutFile(9999);
    EXPECT_EQ(files.Item(1)->Key(), "_PUT9999");
}

TEST_F(PutFilesTest, ItemsByPositionInOrderOfAdditionAndByKey) {
    PutFiles files;
    files.AddPutFile(2);
    files.AddPutFile(5);
    files.AddPutFile(10);
    EXPECT_EQ(files.Count(), 3);
    EXPECT_EQ(files.Item(1)->Key(), "_PUT2");
    EXPECT_EQ(files.Item("_PUT5").get(), files.Item(2).get());
    std::vector<std::string> keys;
    for (const auto& item : files) keys.push_back(item->Key());
    EXPECT_THAT(keys, ElementsAre("_PUT2", "_PUT5", "_PUT10"));
}

TEST_F(PutFilesTest, MissingPositionOrKeyFailsWith5) {
    PutFiles files;
    files.AddPutFile(1);
    EXPECT_EQ(test::ErrorOf([&] { files.Item(0); }).Number(), 5);
    EXPECT_EQ(test::ErrorOf([&] { files.Item(2); }).Number(), 5);
    EXPECT_EQ(test::ErrorOf([&] { files.Item("_PUT2"); }).Number(), 5);
    EXPECT_EQ(test::ErrorOf([&] { files.Item("_put1"); }).Number(), 5);
}

TEST_F(PutFilesTest, DuplicateKeyFailsWith457AndLeavesNoFileBehind) {
    PutFiles files;
    files.AddPutFile(1);
    const auto before = test::ListFolder(dir.Path());
    try {
        files.AddPutFile(1);
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_THAT(error,
                    IsError(457, "Tamberlo", "This key is already associated with an element of this collection"));
    }
    EXPECT_EQ(files.Count(), 1);
    EXPECT_EQ(test::ListFolder(dir.Path()), before);
}

TEST_F(PutFilesTest, MissingTemporaryFolderFailsWithTheFileErrorAndAddsNothing) {
    PutFiles files;
    test::ScopedTempDirectory gone(dir / "gone/");
    EXPECT_EQ(test::ErrorOf([&] { files.AddPutFile(1); }).Number(), 76);
    EXPECT_EQ(files.Count(), 0);
}

TEST_F(PutFilesTest, ValueIsReadOnceAndCleanedAccordingToTheSwitchAtEachRead) {
    PutFiles files;
    files.AddPutFile(1);
    const auto item = files.Item(1);
    test::WriteFile(item->Path(), "a\tb\r\n");
    EXPECT_EQ(item->Value(), "a%9b\r\n");
    // Once read, the file is no longer needed for the content.
    test::WriteFile(item->Path(), "changed");
    output.SetCleanOutput(false);
    EXPECT_EQ(item->Value(), "a\tb\r\n");
}

TEST_F(PutFilesTest, EmptyPutFileReadsAsEmptyText) {
    PutFiles files;
    files.AddPutFile(1);
    EXPECT_EQ(files.Item(1)->Value(), "");
}

TEST_F(PutFilesTest, UnreadableFileFailsAndALaterReadTriesAgain) {
    PutFiles files;
    files.AddPutFile(1);
    const auto item = files.Item(1);
    std::filesystem::remove(item->Path());
    EXPECT_EQ(test::ErrorOf([&] { item->Value(); }).Number(), 53);
    test::WriteFile(item->Path(), "back");
    EXPECT_EQ(item->Value(), "back");
}

TEST_F(PutFilesTest, EndingTheCollectionDeletesEveryFileEvenIfOneIsGone) {
    {
        PutFiles files;
        files.AddPutFile(1);
        files.AddPutFile(2);
        std::filesystem::remove(files.Item(1)->Path());
        ASSERT_EQ(test::ListFolder(dir.Path()).size(), 1u);
    }
    EXPECT_THAT(test::ListFolder(dir.Path()), IsEmpty());
}

TEST_F(PutFilesTest, AnItemHeldElsewhereKeepsItsFileUntilReleased) {
    std::shared_ptr<PutFile> held;
    {
        PutFiles files;
        files.AddPutFile(3);
        held = files.Item("_PUT3");
    }
    EXPECT_TRUE(test::Exists(held->Path()));
    const std::string path = held->Path();
    held.reset();
    EXPECT_FALSE(test::Exists(path));
}

TEST(PutFilesQuoting, TemporaryFolderWithASingleQuoteGivesADoubledQuoteInTheStatement) {
    test::TempFolder parent;
    const std::string folder = parent / "it's here/";
    std::filesystem::create_directories(folder);
    test::ScopedTempDirectory scopedTemp(folder);
    PutFiles files;
    const std::string statement = files.AddPutFile(1);
    const std::string path = files.Item(1)->Path();
    ASSERT_NE(path.find("it's here"), std::string::npos) << path;
    std::string doubled = path;
    doubled.replace(doubled.find('\''), 1, "''");
    EXPECT_EQ(statement, "filename _PUT1 '" + doubled + "' mod;\r\n");
}
