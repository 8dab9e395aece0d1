#include "TestSupport.h"
#include "host/TempFileNames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace tamberlo;

TEST(TempNames, TempDirectoryComesFromTheEnvironmentAndEndsInASeparator) {
    test::TempFolder dir;
    test::ScopedTempDirectory scoped(dir.Path());
    EXPECT_EQ(GetTempDirectory(), dir.Path());
}

TEST(TempNames, NameIsDirectoryPrefixStampDigitsExtension) {
    test::TempFolder dir;
    test::ScopedTempDirectory scoped(dir.Path());
    const std::string name = MakeTempFileName("tmpSASLog", ".log");
    ASSERT_EQ(name.rfind(dir.Path(), 0), 0u) << name;
    const std::string file = name.substr(dir.Path().size());
    // With the C or a United States locale the stamp is all digits.
    EXPECT_TRUE(std::regex_match(file, std::regex("tmpSASLog_[0-9]+_[0-9]+\\.log"))) << file;
    EXPECT_FALSE(test::Exists(name));
}

TEST(TempNames, StampHoldsNoSeparatorsOrAmPm) {
    const std::string stamp = MakeTimeStamp();
    EXPECT_FALSE(stamp.empty());
    for (const char* removed : {":", "/", " ", "AM", "PM"}) EXPECT_EQ(stamp.find(removed), std::string::npos) << stamp;
}

TEST(TempNames, NamesOfOneRunShareDirectoryButDifferInRandomPart) {
    test::TempFolder dir;
    test::ScopedTempDirectory scoped(dir.Path());
    const std::string a = MakeTempFileName("tmpSASProgram", ".sas");
    const std::string b = MakeTempFileName("tmpSASProgram", ".sas");
    // <dir>tmpSASProgram_<stamp>_<digits>.sas: the same folder, different digits.
    ASSERT_EQ(a.rfind(dir.Path(), 0), 0u) << a;
    ASSERT_EQ(b.rfind(dir.Path(), 0), 0u) << b;
    const std::regex form(R"(tmpSASProgram_[0-9]+_([0-9]+)\.sas)");
    std::smatch first, second;
    const std::string fileA = a.substr(dir.Path().size()), fileB = b.substr(dir.Path().size());
    ASSERT_TRUE(std::regex_match(fileA, first, form)) << a;
    ASSERT_TRUE(std::regex_match(fileB, second, form)) << b;
    EXPECT_NE(first[1].str(), second[1].str());
}

TEST(TempNames, HundredThousandNamesFromFourThreadsAreAllDifferent) {
    constexpr int Threads = 4;
    constexpr int PerThread = 25000;
    std::vector<std::vector<std::string>> names(Threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < Threads; ++t) {
        workers.emplace_back([&names, t] {
            names[t].reserve(PerThread);
            for (int i = 0; i < PerThread; ++i) names[t].push_back(MakeTempFileName("tmpPutFile_PUT1", ".put"));
        });
    }
    for (auto& worker : workers) worker.join();
    std::set<std::string> all;
    for (const auto& list : names) all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), static_cast<std::size_t>(Threads * PerThread));
}

// A file, a link or a dangling link placed at a temporary name, by chance or
// on purpose, is never written through: another name is made.
TEST(TempFiles, ANameThatIsTakenIsNeverWrittenThroughAndANewOneIsMade) {
    test::TempFolder dir;
    test::TempFolder elsewhere;
    test::ScopedTempDirectory scoped(dir.Path());
    std::vector<std::string> taken{MakeTempFileName("tmpSASProgram", ".sas")};
    test::WriteFile(taken[0], "someone else's");
#ifndef _WIN32
    test::WriteFile(elsewhere / "target", "target");
    taken.push_back(MakeTempFileName("tmpSASProgram", ".sas"));
    std::filesystem::create_symlink(elsewhere / "target", taken.back());
    taken.push_back(MakeTempFileName("tmpSASProgram", ".sas"));
    std::filesystem::create_symlink(elsewhere / "absent", taken.back());
#endif
    for (const std::string& name : taken) {
        const std::string made = CreateTempFile(name, "tmpSASProgram", ".sas", "data _null_;\r\n");
        EXPECT_NE(made, name);
        EXPECT_TRUE(std::regex_match(made.substr(dir.Path().size()), std::regex("tmpSASProgram_[0-9]+_[0-9]+\\.sas")))
            << made;
        EXPECT_EQ(test::ReadFile(made), "data _null_;\r\n");
#ifndef _WIN32
        // Programs and put files may hold passwords and data: the owner's only.
        EXPECT_EQ(std::filesystem::status(made).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
#endif
        std::filesystem::remove(made);
    }
    EXPECT_EQ(test::ReadFile(taken[0]), "someone else's");
#ifndef _WIN32
    EXPECT_EQ(test::ReadFile(elsewhere / "target"), "target");
    EXPECT_FALSE(test::Exists(elsewhere / "absent"));
#endif
}

TEST(TempFiles, AFolderThatIsNotThereFailsWith76AndMakesNothing) {
    test::TempFolder dir;
    test::ScopedTempDirectory scoped(dir / "gone" + static_cast<char>(std::filesystem::path::preferred_separator));
    const Error error = test::ErrorOf(
        [] { CreateTempFile(MakeTempFileName("tmpPutFile_PUT1", ".put"), "tmpPutFile_PUT1", ".put", {}); });
    EXPECT_EQ(error.Number(), 76);
    EXPECT_THAT(test::ListFolder(dir.Path()), testing::IsEmpty());
}

#ifndef _WIN32
// Random digits are read ahead per thread: a forked child must not draw the
// digits its parent draws next.
TEST(TempNames, AForkedChildNeverDrawsTheNamesItsParentDrawsNext) {
    test::TempFolder dir;
    test::ScopedTempDirectory scoped(dir.Path());
    static_cast<void>(MakeTempFileName("tmpSASLog", ".log"));  // the parent's reserve is filled
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string names;
        for (int i = 0; i < 4; ++i) names += MakeTempFileName("tmpSASLog", ".log") + '\n';
        const bool written = ::write(channel[1], names.data(), names.size()) == static_cast<ssize_t>(names.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(channel[1]);
    std::set<std::string> parentNames;
    for (int i = 0; i < 4; ++i) parentNames.insert(MakeTempFileName("tmpSASLog", ".log"));
    std::string childNames;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) childNames.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::istringstream lines(childNames);
    int count = 0;
    for (std::string name; std::getline(lines, name); ++count) EXPECT_EQ(parentNames.count(name), 0u) << name;
    EXPECT_EQ(count, 4);
}
#endif
