#include "EncodedSamples.h"
#include "RunnerTestSupport.h"
#include "automation/CodeRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

using namespace tamberlo;
using test::ErrorOf;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

const std::string StandinRoot =
    std::string(STANDIN_SAS_ROOT) + static_cast<char>(std::filesystem::path::preferred_separator);

class SessionEncodingRun : public testing::Test {
protected:
    test::TempFolder temp;
    test::TempFolder work;
    test::ScopedTempDirectory scopedTemp{temp.Path()};
};

std::string Decoded(const CodeRunner& runner, const std::string& bytes, std::size_t* undecodable = nullptr) {
    return runner.Encoding().ToUtf8(bytes, undecodable);
}

}  // namespace

TEST_F(SessionEncodingRun, TextIsWrittenAndReadBackInTheSessionEncoding) {
    for (const test::EncodedSample& c : test::CommonSessionSamples()) {
        SCOPED_TRACE(c.encoding);
        const std::string record = work / "commandline.txt";
        const test::ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
        CodeRunner runner;
        runner.SetEncoding(EncodingSetting{c.encoding, "the test"});
        runner.SetSASCode("data _null_; file print; put '" + c.text + "';");
        runner.SetSASCode("file _put1; put '" + c.text + "'; run;");
        ASSERT_EQ(runner.Execute(StandinRoot, ""), "OK");

        EXPECT_EQ(runner.Encoding().Name(), c.encoding);
        // The stand-in writes what it reads: the put file holds the program's bytes.
        EXPECT_EQ(runner.PutFile(1), c.bytes + "\r\n");
        EXPECT_THAT(test::ReadFile(record), HasSubstr(std::string("-ENCODING")));
        EXPECT_THAT(test::ReadFile(record), HasSubstr(c.encoding));
        std::size_t undecodable = 99;
        EXPECT_THAT(Decoded(runner, runner.Log(), &undecodable), HasSubstr("put '" + c.text + "';"));
        EXPECT_EQ(undecodable, 0u);
        EXPECT_THAT(runner.Log(), Not(HasSubstr("WARNING")));
        EXPECT_THAT(Decoded(runner, runner.Lst()), HasSubstr(c.text));
        EXPECT_THAT(runner.SASCodeText(), HasSubstr("put '" + c.text + "'; run;"));
        const std::string report = runner.DebugInfo();
        EXPECT_THAT(report, HasSubstr("_PUT1 (" + runner.PutFile(1, true) + ")\r\n-----\r\n" + c.text + "\r\n"));
        EXPECT_THAT(report, HasSubstr("file _put1; put '" + c.text + "'; run;"));
    }
}

TEST_F(SessionEncodingRun, ACharacterTheSessionCannotHoldFailsTheRunBeforeAnythingIsWritten) {
    struct Case {
        const char* encoding;
        std::string line;
        std::string description;
    };
    const Case cases[] = {
        {"LATIN1", "put '\u20AC';",
         "The program cannot be written in the SAS session encoding LATIN1: the character U+20AC in line 2 has no "
         "place in it."},
        {"WLATIN1", "put '\u65E5';",
         "The program cannot be written in the SAS session encoding WLATIN1: the character U+65E5 in line 2 has no "
         "place in it."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoding);
        CodeRunner runner;
        runner.SetEncoding(EncodingSetting{c.encoding, "the test"});
        runner.SetSASCode("data _null_; file _put1;");
        runner.SetSASCode(c.line);
        runner.SetSASCode("run;");
        const Error error = ErrorOf([&] { runner.Execute(StandinRoot, ""); });
        EXPECT_EQ(error.Number(), 1);
        EXPECT_EQ(error.Source(), "Execute method");
        EXPECT_EQ(error.Description(), c.description);
        EXPECT_THAT(runner.PutFileKeys(), IsEmpty());
        EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
    }
}

TEST_F(SessionEncodingRun, AnUnknownNameFailsTheRunNamingWhereItCameFrom) {
    test::WriteFile(work / "site.cfg", "-ENCODING klingon\n");
    const std::pair<std::optional<EncodingSetting>, std::string> cases[] = {
        {EncodingSetting{"KLINGON", "HKCU\\Software\\Tamberlo\\Encoding"},
         "The SAS session encoding 'KLINGON' named in HKCU\\Software\\Tamberlo\\Encoding is not one that Tamberlo "
         "knows."},
        {std::nullopt, "The SAS session encoding 'klingon' named in the configuration file '" + (work / "site.cfg") +
                           "' is not one that Tamberlo knows."},
    };
    for (const auto& [setting, description] : cases) {
        CodeRunner runner;
        runner.SetEncoding(setting);
        runner.SetSASCode("data _null_; file _put1; put 'x'; run;");
        const Error error = ErrorOf([&] { runner.Execute(StandinRoot, work / "site.cfg"); });
        EXPECT_EQ(error.Number(), 1);
        EXPECT_EQ(error.Source(), "Execute method");
        EXPECT_EQ(error.Description(), description);
        EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
    }
}

TEST_F(SessionEncodingRun, TheConfigurationNamesTheEncodingThroughTheFilesItIncludes) {
    // As SAS for Windows' sasv9.cfg names nls\u8\sasv9.cfg: the later -ENCODING wins.
    std::filesystem::create_directories(work / "nls");
    test::WriteFile(work / "site.cfg", "-ENCODING wlatin1\n/* Unicode server */\n-CONFIG \"nls/u8.cfg\"\n");
    test::WriteFile(work / "nls/u8.cfg", "-encoding utf-8\n");
    // Latin-1 bytes in a stored program: a UTF-8 session cannot read them.
    test::WriteFile(work / "old.sas", "data _null_; file _put1;\r\nput 'caf\xE9 \xE9t\xE9'; run;\r\n");
    const std::string record = work / "commandline.txt";
    const test::ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
    CodeRunner runner;
    runner.SetSASCode(work / "old.sas");
    ASSERT_EQ(runner.Execute(StandinRoot, work / "site.cfg"), "OK");

    EXPECT_EQ(runner.Encoding().Name(), "UTF-8");
    // Found, not set: SAS's command line stays as it was.
    EXPECT_THAT(test::ReadFile(record), Not(HasSubstr("ENCODING")));
    EXPECT_THAT(
        runner.Log(),
        HasSubstr(
            "WARNING: A character that could not be transcoded has been replaced in record 5.\r\n"));  // after the
                                                                                                       // preamble
    std::size_t undecodable = 0;
    EXPECT_EQ(Decoded(runner, runner.PutFile(1), &undecodable), "caf\uFFFD \uFFFDt\uFFFD\r\n");
    EXPECT_EQ(undecodable, 3u);
    EXPECT_THAT(Decoded(runner, runner.Log(), &undecodable), HasSubstr("put 'caf\uFFFD \uFFFDt\uFFFD'; run;"));
    EXPECT_EQ(undecodable, 3u);
    EXPECT_THAT(runner.DebugInfo(), HasSubstr("put 'caf\uFFFD \uFFFDt\uFFFD'; run;"));
}

// As SAS, a file named twice is read twice (the second reading's -ENCODING
// wins) and one that names itself is cut: the stand-in, reading in the same
// way, runs in the session Tamberlo found (it warns of the Latin-1 bytes).
TEST_F(SessionEncodingRun, AFileNamedTwiceIsReadTwiceAndOneThatNamesItselfIsCut) {
    test::WriteFile(work / "u8.cfg", "-encoding utf-8\n");
    test::WriteFile(work / "old.sas", "data _null_; put 'caf\xE9'; run;\r\n");
    for (const char* site :
         {"-CONFIG u8.cfg -ENCODING wlatin1 -CONFIG u8.cfg\n", "-ENCODING utf-8 -CONFIG site.cfg\n"}) {
        SCOPED_TRACE(site);
        test::WriteFile(work / "site.cfg", site);
        CodeRunner runner;
        runner.SetSASCode(work / "old.sas");
        ASSERT_EQ(runner.Execute(StandinRoot, work / "site.cfg"), "OK");
        EXPECT_EQ(runner.Encoding().Name(), "UTF-8");
        EXPECT_THAT(runner.Log(), HasSubstr("WARNING: A character that could not be transcoded"));
    }
}

// Each run finds the encoding of the configuration as it is now: a file is
// read again when its size or its last change differs from the reading kept.
TEST_F(SessionEncodingRun, AChangedConfigurationFileIsReadAgain) {
    const std::string site = work / "site.cfg";
    // Long settled, so that the reading is kept.
    const auto then = std::filesystem::file_time_type::clock::now() - std::chrono::hours(1);
    struct Case {
        const char* text;
        std::chrono::seconds later;
        const char* encoding;
    };
    const Case cases[] = {
        {"-ENCODING latin1\n", std::chrono::seconds(0), "LATIN1"},
        {"-ENCODING wlatin1\n", std::chrono::seconds(0), "WLATIN1"},  // another size, the same time
        {"-ENCODING utf-8  \n", std::chrono::seconds(1), "UTF-8"},    // the same size, another time
#ifndef _WIN32
        // The same size and time, as `cp -p` leaves them: the change time differs.
        {"-ENCODING wlatin1\n", std::chrono::seconds(1), "WLATIN1"},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        test::WriteFile(site, c.text);
        std::filesystem::last_write_time(site, then + c.later);
        CodeRunner runner;
        runner.SetSASCode("data _null_; run;");
        ASSERT_EQ(runner.Execute(StandinRoot, site), "OK");
        EXPECT_EQ(runner.Encoding().Name(), c.encoding);
    }
}

TEST_F(SessionEncodingRun, AConfigurationFileThatIsNoFileOrTooLargeFailsTheRunNamingIt) {
    std::filesystem::create_directories(work / "folder.cfg");
    test::WriteFile(work / "big.cfg", std::string(1024 * 1024 + 1, ' '));
    test::WriteFile(work / "site.cfg", "-CONFIG folder.cfg\n");
    struct Case {
        std::string config, options, description;
    };
    const Case cases[] = {
        {work / "big.cfg", "", "The SAS configuration file '" + (work / "big.cfg") + "' is larger than 1 MiB."},
        {work / "site.cfg", "",
         "The SAS configuration file '" + (work / "folder.cfg") + "' named in the configuration file '" +
             (work / "site.cfg") + "' is not a regular file."},
#ifndef _WIN32
        {"", "-config /dev/zero",
         "The SAS configuration file '/dev/zero' named in SASV9_OPTIONS is not a regular file."},
#endif
    };
    for (const Case& c : cases) {
        const test::ScopedEnvironment options("SASV9_OPTIONS", c.options);
        CodeRunner runner;
        runner.SetSASCode("data _null_; run;");
        const Error error = ErrorOf([&] { runner.Execute(StandinRoot, c.config); });
        EXPECT_EQ(error.Number(), 1);
        EXPECT_EQ(error.Source(), "Execute method");
        EXPECT_EQ(error.Description(), c.description);
        EXPECT_THAT(test::ListFolder(temp.Path()), IsEmpty());
    }
}

#ifdef _WIN32
// A user name in another script: the temporary folder's name in the ANSI
// code page would be garbled, so SAS is given its files by the short name.
TEST_F(SessionEncodingRun, ATemporaryFolderTheAnsiCodePageLacksIsReachedByItsShortName) {
    const std::filesystem::path folder = std::filesystem::path(temp.Path()) / u8"\u65E5\u672C";
    std::filesystem::create_directory(folder);
    ASSERT_TRUE(::SetEnvironmentVariableW(L"TMP", folder.c_str()));
    {
        CodeRunner runner;
        runner.SetSASCode("data _null_; file _put1; put 'x'; run;");
        const std::string status = runner.Execute(StandinRoot, "");
        ::SetEnvironmentVariableA("TMP", temp.Path().c_str());
        ASSERT_EQ(status, "OK");
        EXPECT_EQ(runner.PutFile(1), "x\r\n");
        EXPECT_THAT(runner.PutFile(1, true), HasSubstr("~"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}
#endif
