// What a client may hand over that it should not: program text with NUL
// characters or a line of megabytes, program file names that name a folder,
// an empty file or a different file, put-file numbers out of range, SAS roots
// and configuration files given in every shape. Each ends with its documented
// result, and leaves nothing behind.

#include "ReliabilityTest.h"

#include "engine/SASContract.h"
#include "host/TextFileIO.h"

#include <tuple>

using namespace tamberlo;
using namespace tamberlo::reliability;
using namespace tamberlo::reliability::test;

namespace {

class BadInput : public CleanRunTest {};

const std::string FormChar = std::string(sas::FormCharStatement) + "\r\n";

// Changes the current folder for the lifetime of the object.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~ScopedCurrentFolder() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

void ExpectExecuteError(const Error& error, const std::string& description) {
    EXPECT_THAT(error, IsError(1, "Execute method", description));
}

}  // namespace

TEST_F(BadInput, NulCharactersInProgramTextReachSASUnchanged) {
    const std::string record = work / "record";
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
    const std::string text("%put a\0b;\0", 10);
    CodeRunner runner;
    runner.SetSASCode(text);
    EXPECT_EQ(runner.SASCode(), text + "\r\n");
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    EXPECT_EQ(ReadFile(record + ".program"), FormChar + text + "\r\n");
    ExpectNothingLeft();
}

TEST_F(BadInput, ProgramFileNameWithANulNamesNoFileEvenWhenItsFirstPartDoes) {
    // Cut at the NUL, the name would be that of another file.
    WriteFile(work / "program", "%put the wrong file;");
    const std::string name = work / "program" + std::string(1, '\0') + ".sas";
    CodeRunner runner;
    const Error error = ErrorOf([&] { runner.SetSASCode(name); });
    EXPECT_THAT(error, IsError(1, "SASCode method", "The file '" + name + "' does not exist."));
    EXPECT_EQ(runner.SASCode(), "");
    ExpectNothingLeft();
}

TEST_F(BadInput, FileNamesWithANulAreBadFileNamesForEveryFileOperation) {
    // Each would otherwise act on the file named by the part before the NUL.
    const std::string first = work / "first";
    WriteFile(first, "unchanged");
    const std::string name = first + std::string(1, '\0') + "second";
    TextFileIO io;
    std::string state;
    EXPECT_FALSE(io.FileExists(name, state));
    EXPECT_EQ(state, "FileExists Error #52 (Bad file name or number)");
    EXPECT_EQ(io.ReadToString(name, state), "");
    EXPECT_EQ(state, "ReadToString Error #52 (Bad file name or number)");
    io.OverwriteFile(name, "overwritten", state);
    EXPECT_EQ(state, "OverwriteFile Error #52 (Bad file name or number)");
    io.AppendToFile(name, "appended", state);
    EXPECT_EQ(state, "AppendToFile Error #52 (Bad file name or number)");
    io.DeleteFile(name, state);
    EXPECT_EQ(state, "DeleteFile Error #52 (Bad file name or number)");
    EXPECT_EQ(ReadFile(first), "unchanged");
    EXPECT_EQ(ListFolder(work.Path()), std::vector<std::string>{"first"});
    ExpectNothingLeft();
}

TEST_F(BadInput, TenMebibyteLineRunsWholeAndAsAFileNameIsAMissingFile) {
    const std::string payload(10 << 20, 'x');
    CodeRunner runner;
    runner.SetSASCode("%put " + payload + ";");
    EXPECT_EQ(runner.SASCode().size(), payload.size() + 8);
    EXPECT_EQ(runner.Execute(StandInRoot), "OK");
    EXPECT_THAT(runner.Log(), HasSubstr("\r\n" + payload + "\r\n"));

    const std::string name = payload + ".sas";
    const Error error = ErrorOf([&] { runner.SetSASCode(name); });
    EXPECT_THAT(error, IsError(1, "SASCode method", "The file '" + name + "' does not exist."));
    EXPECT_EQ(runner.SASCode().size(), payload.size() + 8);
    ExpectNothingLeft();
}

TEST_F(BadInput, ProgramFileNamesOfAFolderOrAnEmptyFileAddNothing) {
    std::filesystem::create_directories(work / "folder.sas");
    WriteFile(work / "empty.sas", "");
    CodeRunner runner;
    const Error folder = ErrorOf([&] { runner.SetSASCode(work / "folder.sas"); });
    EXPECT_THAT(folder, IsError(1, _, "The file '" + work / "folder.sas" + "' does not exist."));
    runner.SetSASCode(work / "empty.sas");
    EXPECT_EQ(runner.SASCode(), "");
    EXPECT_EQ(runner.Execute(StandInRoot), "ERROR: No command supplied.");
    EXPECT_EQ(runner.LastExecuteReturnValue(), "ERROR: No command supplied.");
    ExpectNothingLeft();
}

TEST_F(BadInput, PutFileNumbersOutOfRangeFailWith5BeforeAndAfterARun) {
    CodeRunner runner;
    const auto expectMissing = [&] {
        for (const std::int16_t index : {0, -1, 32767, -32768}) {
            for (const bool returnPath : {false, true}) {
                EXPECT_THAT(ErrorOf([&] { runner.PutFile(index, returnPath); }),
                            IsError(5, "Tamberlo", "Invalid procedure call or argument"))
                    << index;
            }
        }
    };
    expectMissing();
    runner.SetSASCode("data _null_; file _PUT1; put 'one'; run;");
    ASSERT_EQ(runner.Execute(StandInRoot), "OK");
    expectMissing();
    EXPECT_EQ(runner.PutFile(1), "one\r\n");
    runner.Reset();
    ExpectNothingLeft();
}

TEST_F(BadInput, SASRootsInEveryShapeThatNamesTheInstallationRun) {
    const std::string spaced = work / "SAS with spaces" + Separator;
    CopyStandInTo(spaced);
    const std::string relative =
        std::filesystem::relative(std::filesystem::absolute(StandInRoot), std::filesystem::current_path()).string();
    ASSERT_FALSE(relative.empty());
    std::filesystem::copy_file(StandInRoot + Cfg, spaced + "my config.cfg");
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"without its final separator", StandInRoot.substr(0, StandInRoot.size() - 1), ""},
        {"relative to the current folder", relative, ""},
        {"with blanks in it", spaced, ""},
        {"with a configuration file with blanks in its name", StandInRoot, spaced + "my config.cfg"},
    };
    for (const auto& [what, root, config] : cases) {
        CodeRunner runner;
        runner.SetSASCode("%put ran;");
        EXPECT_EQ(runner.Execute(root, config), "OK") << what;
        EXPECT_THAT(runner.Log(), HasSubstr("\r\nran\r\n")) << what;
    }
    {
        // A root and a configuration file named relative to the current folder.
        ScopedCurrentFolder inRoot(StandInRoot);
        CodeRunner runner;
        runner.SetSASCode("%put ran;");
        EXPECT_EQ(runner.Execute(".", Cfg), "OK");
        EXPECT_THAT(runner.Log(), HasSubstr("\r\nran\r\n"));
    }
    ExpectNothingLeft();
}

TEST_F(BadInput, SASRootsAndConfigurationFilesThatNameNothingUsableFailBeforeSASStarts) {
    const std::string record = work / "record";
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
    std::filesystem::create_directories(work / "folder.cfg");
    const std::string exe = StandInRoot + Exe;
    const std::string nul(1, '\0');
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {StandInRoot + Exe, "",
         "The SAS executable '" + exe + Separator + Exe + "' does not exist.  Did you specify the correct SASRoot?"},
        {StandInRoot + nul + "x", "",
         "The SAS executable '" + StandInRoot + nul + "x" + Separator + Exe +
             "' does not exist.  Did you specify the correct SASRoot?"},
        {StandInRoot, work / "folder.cfg",
         "The SAS config file '" + work / "folder.cfg" + "' does not exist.  Did you specify the correct SASConfig?"},
        // Cut at the NUL, the name would be that of the stand-in's configuration.
        {StandInRoot, StandInRoot + Cfg + nul + " -SYSIN elsewhere.sas",
         "The SAS config file '" + StandInRoot + Cfg + nul +
             " -SYSIN elsewhere.sas' does not exist.  Did you specify the correct SASConfig?"},
    };
    CodeRunner runner;
    runner.SetSASCode("%put never;");
    for (const auto& [root, config, description] : cases) {
        ExpectExecuteError(ErrorOf([&] { runner.Execute(root, config); }), description);
    }
    EXPECT_FALSE(Exists(record)) << "SAS was started";
    EXPECT_EQ(runner.LastExecuteReturnValue(), "");
    ExpectNothingLeft();
}

#ifndef _WIN32
// A quotation mark cannot stand inside a quoted path of a Windows command
// line, nor a backslash at its end, and so cannot reach SAS: a POSIX path
// holding either (Windows paths never do) makes the run fail before SAS starts, instead of SAS getting other paths
// than the run's, and nothing is made outside the temporary folder.
TEST_F(BadInput, PathsWithAQuotationMarkFailBeforeSASStarts) {
    const std::string record = work / "record";
    ScopedEnvironment recording("TAMBERLO_STANDIN_RECORD", record);
    const std::string quotedRoot = work / "SAS \"V8\"" + Separator;
    CopyStandInTo(quotedRoot);
    std::filesystem::copy_file(StandInRoot + Cfg, work / "my \"own\".cfg");
    const std::string quotedTemp = temp / "temp \"here\"" + Separator;
    std::filesystem::create_directories(quotedTemp);
    // SAS given other paths than the run's would write where it stands.
    const std::string current = work / "current";
    std::filesystem::create_directories(current);
    ScopedCurrentFolder inCurrent(current);

    const std::string reason = "' could not be started: the path '";
    {
        CodeRunner runner;
        runner.SetSASCode("%put never;");
        ExpectExecuteError(ErrorOf([&] { runner.Execute(quotedRoot); }),
                           "The SAS executable '" + quotedRoot + Exe + reason + quotedRoot + Exe +
                               "' holds a quotation mark, which its command line cannot pass on.");
        ExpectExecuteError(ErrorOf([&] { runner.Execute(StandInRoot, work / "my \"own\".cfg"); }),
                           "The SAS executable '" + StandInRoot + Exe + reason + work / "my \"own\".cfg" +
                               "' holds a quotation mark, which its command line cannot pass on.");
    }
    {
        ScopedTempDirectory quoted(quotedTemp);
        CodeRunner runner;
        runner.SetSASCode("data _null_; file _PUT1; put 'never'; run;");
        const Error error = ErrorOf([&] { runner.Execute(StandInRoot); });
        EXPECT_THAT(
            error,
            IsError(1, _,
                    AllOf(StartsWith("The SAS executable '" + StandInRoot + Exe + reason + quotedTemp + "tmpSAS"),
                          HasSubstr("tmpSASProgram_"))));
        // The put file it had declared is withdrawn with the failed run.
        EXPECT_THAT(ListFolder(quotedTemp), testing::IsEmpty());
        EXPECT_EQ(ErrorOf([&] { runner.PutFile(1, true); }).Number(), 5);
    }
    {
        // A backslash at the end would turn the closing quotation mark into
        // part of the path.
        const std::string config = work / "own.cfg\\";
        std::filesystem::copy_file(StandInRoot + sas::DefaultConfigFileName, config);
        CodeRunner runner;
        runner.SetSASCode("%put never;");
        ExpectExecuteError(ErrorOf([&] { runner.Execute(StandInRoot, config); }),
                           "The SAS executable '" + StandInRoot + sas::ExecutableName + reason + config +
                               "' ends in a backslash, which its command line cannot pass on.");
    }
    EXPECT_FALSE(Exists(record)) << "SAS was started";
    EXPECT_THAT(ListFolder(current), testing::IsEmpty());
    EXPECT_THAT(ListFolder(quotedTemp), testing::IsEmpty());
    std::filesystem::remove(quotedTemp);
    ExpectNothingLeft();
}
#else
TEST_F(BadInput, PathsWithAQuotationMarkNameNothing) {
    CodeRunner runner;
    runner.SetSASCode("%put never;");
    const std::string root = work / "SAS \"V8\"" + Separator;
    ExpectExecuteError(
        ErrorOf([&] { runner.Execute(root); }),
        "The SAS executable '" + root + "SAS.EXE' does not exist.  Did you specify the correct SASRoot?");
    const std::string config = work / "my \"own\".cfg";
    ExpectExecuteError(ErrorOf([&] { runner.Execute(StandInRoot, config); }),
                       "The SAS config file '" + config + "' does not exist.  Did you specify the correct SASConfig?");
    ExpectNothingLeft();
}
#endif

TEST_F(BadInput, EmptyRootSearchesTheStandardFolders) {
    CodeRunner runner;
    runner.SetSASCode("%put found;");
#ifdef _WIN32
    // The stand-in is installed in the standard folder of drive C.
    EXPECT_EQ(runner.Execute("", ""), "OK");
    EXPECT_THAT(runner.Log(), HasSubstr("\r\nfound\r\n"));
#else
    // Here no sas is on PATH (one of the test's own) nor in a standard folder.
    ScopedEnvironment path("PATH", work.Path());
    ExpectExecuteError(ErrorOf([&] { runner.Execute("", ""); }), sas::NotFoundDescription);
#endif
    ExpectNothingLeft();
}
