#include "ErrorMatcher.h"
#include "TestSupport.h"
#include "engine/SASContract.h"
#include "engine/SASInstallation.h"
#include "host/FileSystem.h"
#include "host/Error.h"

#include <gtest/gtest.h>

#include <set>

using namespace tamberlo;
using tamberlo::test::IsError;
using test::ErrorOf;
using testing::_;

namespace {

const std::string Folder = ":\\Program Files\\SAS Institute\\SAS\\V8\\";
// The drive search runs on every host over injected roots, with its executable.
const std::string Exe = sas::ExecutableName;
const std::string Cfg = sas::DefaultConfigFileName;

// An installation over a made-up disk: the files in `present` exist.
SASInstallation Over(std::set<std::string> present) {
    std::vector<std::string> roots;
    for (char drive = 'C'; drive <= 'Z'; ++drive) roots.push_back(drive + Folder);
    return SASInstallation([present](const std::string& path) { return present.count(path) != 0; }, roots, '\\');
}

}  // namespace

TEST(SASInstallation, RootWithAndWithoutFinalBackslashGivesTheSameRoot) {
    const auto installation = Over({"D:\\SAS\\" + Exe});
    EXPECT_EQ(installation.ResolveSASRoot("D:\\SAS"), "D:\\SAS\\");
    EXPECT_EQ(installation.ResolveSASRoot("D:\\SAS\\"), "D:\\SAS\\");
}

TEST(SASInstallation, GivenRootWithoutSASExeNamesTheCompletedRoot) {
    const Error error = ErrorOf([] { Over({}).ResolveSASRoot("D:\\Nowhere"); });
    EXPECT_THAT(error, IsError(1, "Execute method",
                               "The SAS executable 'D:\\Nowhere\\" + Exe +
                                   "' does not exist.  Did you specify the correct SASRoot?"));
}

TEST(SASInstallation, SearchFindsDriveDAlone) {
    EXPECT_EQ(Over({"D" + Folder + Exe}).ResolveSASRoot(""), "D" + Folder);
}

TEST(SASInstallation, SearchPrefersCOverE) {
    EXPECT_EQ(Over({"E" + Folder + Exe, "C" + Folder + Exe}).ResolveSASRoot(""), "C" + Folder);
}

// The search as the host lays it out: only the existence test is replaced.
TEST(SASInstallation, SearchNeverTriesAOrB) {
    std::vector<std::string> probed;
    SASInstallation installation([&](const std::string& path) {
        probed.push_back(path);
        return false;
    });
    EXPECT_THROW(installation.ResolveSASRoot(""), Error);
    for (const std::string& path : probed) {
        EXPECT_NE(path.rfind("A:", 0), 0u) << path;
        EXPECT_NE(path.rfind("B:", 0), 0u) << path;
    }
#ifdef _WIN32
    std::vector<std::string> expected;
    for (char drive = 'C'; drive <= 'Z'; ++drive) expected.push_back(drive + Folder + Exe);
    EXPECT_EQ(probed, expected);
#endif
}

TEST(SASInstallation, NothingFoundGivesTheSearchMessageWithAnEmptyLine) {
    const Error error = ErrorOf([] { Over({}).ResolveSASRoot(""); });
    EXPECT_THAT(error, IsError(1, "Execute method", _));
#ifdef _WIN32
    EXPECT_EQ(error.Description(),
              "The SAS executable (SAS.EXE) could be found in <drive>:\\Program Files\\SAS Institute\\SAS\\V8\\, "
              "where <drive> is C, D, E, ..., Z.\r\n\r\nSupply the location of SAS.EXE to the Execute method.");
#else
    EXPECT_EQ(error.Description(),
              "The SAS executable (sas) could not be found on PATH or in /usr/local/SASHome/SASFoundation/9.4/, "
              "/opt/sas/SASHome/SASFoundation/9.4/ or /opt/SASHome/SASFoundation/9.4/.\r\n\r\n"
              "Supply the location of sas to the Execute method.");
#endif
}

TEST(SASInstallation, HostWithoutDrivesStillGivesTheSearchMessage) {
    SASInstallation installation([](const std::string&) { return true; }, {}, '/');
    EXPECT_EQ(ErrorOf([&] { installation.ResolveSASRoot(""); }).Number(), 1);
}

TEST(SASInstallation, DefaultConfigFileBesideSASExe) {
    EXPECT_EQ(Over({"C:\\S\\" + Cfg}).ResolveConfigFile("C:\\S\\", ""), "C:\\S\\" + Cfg);
    EXPECT_THAT(
        ErrorOf([] { Over({}).ResolveConfigFile("C:\\S\\", ""); }),
        IsError(1, "Execute method",
                "The default SAS config file 'C:\\S\\" + Cfg +
                    "' does not exist.  You will need to specify the config file when calling the Execute method."));
}

TEST(SASInstallation, GivenConfigFileIsUsedUnchangedEvenWhenTheDefaultExists) {
    EXPECT_EQ(Over({"C:\\S\\" + Cfg, "my.cfg"}).ResolveConfigFile("C:\\S\\", "my.cfg"), "my.cfg");
    const Error error = ErrorOf([] { Over({"C:\\S\\" + Cfg}).ResolveConfigFile("C:\\S\\", "other.cfg"); });
    EXPECT_THAT(
        error,
        IsError(1, _, "The SAS config file 'other.cfg' does not exist.  Did you specify the correct SASConfig?"));
}

#ifndef _WIN32
namespace {

// The standard folders below `root`, each ending in '/'.
std::vector<std::string> StandardFoldersUnder(const std::string& root) {
    std::vector<std::string> folders;
    for (const char* folder : sas::StandardFolders) folders.push_back(root + folder);
    return folders;
}

}  // namespace

// Without a root: the installation of the sas found on PATH, then
// each standard folder in order.
TEST(SASInstallation, SearchTriesPathThenEachStandardFolderInOrder) {
    const test::TempFolder temp;
    const std::string root = temp / "root";
    const std::string bin = temp / "bin";
    std::filesystem::create_directories(bin);
    test::ScopedEnvironment path("PATH", bin);
    const auto folders = StandardFoldersUnder(root);
    ASSERT_EQ(folders.size(), 3u);
    EXPECT_EQ(folders[0], root + "/usr/local/SASHome/SASFoundation/9.4/");
    EXPECT_EQ(folders[1], root + "/opt/sas/SASHome/SASFoundation/9.4/");
    EXPECT_EQ(folders[2], root + "/opt/SASHome/SASFoundation/9.4/");
    for (const std::string& folder : folders) {
        std::filesystem::create_directories(folder);
        test::WriteFile(folder + "sas", "");
    }
    const auto resolve = [&] {
        return SASInstallation(filesystem::ProbeReadable, SASInstallation::StandardRoots(root), '/').ResolveSASRoot("");
    };
    for (const std::string& folder : folders) {
        EXPECT_EQ(resolve(), folder);
        std::filesystem::remove(folder + "sas");
    }
    EXPECT_EQ(ErrorOf(resolve).Description(), sas::NotFoundDescription);

    // A link on PATH to a program named sas in another folder that holds
    // its configuration: that folder wins over every standard one.
    const std::string real = temp / "real/";
    std::filesystem::create_directories(real);
    test::WriteFile(real + "sas", "");
    test::WriteFile(real + sas::DefaultConfigFileName, "");
    std::filesystem::permissions(real + "sas", std::filesystem::perms::owner_all);
    std::filesystem::create_symlink(real + "sas", bin + "/sas");
    test::WriteFile(folders[0] + "sas", "");
    EXPECT_EQ(resolve(), real);
}
#endif
