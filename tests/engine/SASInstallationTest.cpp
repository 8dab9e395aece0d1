#include "TestSupport.h"
#include "engine/SASInstallation.h"
#include "host/Error.h"

#include <gtest/gtest.h>

#include <set>

using namespace tamberlo;
using test::ErrorOf;

namespace {

const std::string Folder = ":\\Program Files\\SAS Institute\\SAS\\V8\\";

// An installation over a made-up disk: the files in `present` exist.
SASInstallation Over(std::set<std::string> present) {
    std::vector<std::string> roots;
    for (char drive = 'C'; drive <= 'Z'; ++drive) roots.push_back(drive + Folder);
    return SASInstallation([present](const std::string& path) { return present.count(path) != 0; }, roots, '\\');
}


}  // namespace

TEST(SASInstallation, RootWithAndWithoutFinalBackslashGivesTheSameRoot) {
    const auto installation = Over({"D:\\SAS\\SAS.EXE"});
    EXPECT_EQ(installation.ResolveSASRoot("D:\\SAS"), "D:\\SAS\\");
    EXPECT_EQ(installation.ResolveSASRoot("D:\\SAS\\"), "D:\\SAS\\");
}

TEST(SASInstallation, GivenRootWithoutSASExeNamesTheCompletedRoot) {
    const Error error = ErrorOf([] { Over({}).ResolveSASRoot("D:\\Nowhere"); });
    EXPECT_EQ(error.Number(), 1);
    EXPECT_EQ(error.Source(), "Execute method");
    EXPECT_EQ(error.Description(),
              "The SAS executable 'D:\\Nowhere\\SAS.EXE' does not exist.  Did you specify the correct SASRoot?");
}

TEST(SASInstallation, SearchFindsDriveDAlone) {
    EXPECT_EQ(Over({"D" + Folder + "SAS.EXE"}).ResolveSASRoot(""), "D" + Folder);
}

TEST(SASInstallation, SearchPrefersCOverE) {
    EXPECT_EQ(Over({"E" + Folder + "SAS.EXE", "C" + Folder + "SAS.EXE"}).ResolveSASRoot(""), "C" + Folder);
}

// The search as the host lays it out: only the existence test is replaced.
TEST(SASInstallation, SearchNeverTriesAOrB) {
    std::vector<std::string> probed;
    SASInstallation installation([&](const std::string& path) { probed.push_back(path); return false; });
    EXPECT_THROW(installation.ResolveSASRoot(""), Error);
    for (const std::string& path : probed) {
        EXPECT_NE(path.rfind("A:", 0), 0u) << path;
        EXPECT_NE(path.rfind("B:", 0), 0u) << path;
    }
#ifdef _WIN32
    std::vector<std::string> expected;
    for (char drive = 'C'; drive <= 'Z'; ++drive) expected.push_back(drive + Folder + "SAS.EXE");
    EXPECT_EQ(probed, expected);
#endif
}

TEST(SASInstallation, NothingFoundGivesTheSearchMessageWithAnEmptyLine) {
    const Error error = ErrorOf([] { Over({}).ResolveSASRoot(""); });
    EXPECT_EQ(error.Number(), 1);
    EXPECT_EQ(error.Source(), "Execute method");
    EXPECT_EQ(error.Description(),
              "The SAS executable (SAS.EXE) could be found in <drive>:\\Program Files\\SAS Institute\\SAS\\V8\\, "
              "where <drive> is C, D, E, ..., Z.\r\n\r\nSupply the location of SAS.EXE to the Execute method.");
}

TEST(SASInstallation, HostWithoutDrivesStillGivesTheSearchMessage) {
    SASInstallation installation([](const std::string&) { return true; }, {}, '/');
    EXPECT_EQ(ErrorOf([&] { installation.ResolveSASRoot(""); }).Number(), 1);
}

TEST(SASInstallation, DefaultConfigFileBesideSASExe) {
    EXPECT_EQ(Over({"C:\\S\\sasv8.cfg"}).ResolveConfigFile("C:\\S\\", ""), "C:\\S\\sasv8.cfg");
    const Error error = ErrorOf([] { Over({}).ResolveConfigFile("C:\\S\\", ""); });
    EXPECT_EQ(error.Source(), "Execute method");
    EXPECT_EQ(error.Description(),
              "The default SAS config file 'C:\\S\\sasv8.cfg' does not exist.  You will need to specify the config "
              "file when calling the Execute method.");
}

TEST(SASInstallation, GivenConfigFileIsUsedUnchangedEvenWhenTheDefaultExists) {
    EXPECT_EQ(Over({"C:\\S\\sasv8.cfg", "my.cfg"}).ResolveConfigFile("C:\\S\\", "my.cfg"), "my.cfg");
    const Error error = ErrorOf([] { Over({"C:\\S\\sasv8.cfg"}).ResolveConfigFile("C:\\S\\", "other.cfg"); });
    EXPECT_EQ(error.Number(), 1);
    EXPECT_EQ(error.Description(), "The SAS config file 'other.cfg' does not exist.  Did you specify the correct SASConfig?");
}
