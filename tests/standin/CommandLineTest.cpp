#include "StandinTest.h"

namespace tamberlo::standin::test {
namespace {

constexpr const char* ClosingNote =
    "\r\n"
    "NOTE: The SAS System used:\r\n"
    "      real time           x.xx seconds\r\n"
    "      cpu time            x.xx seconds\r\n"
    "\r\n";

constexpr const char* HelloProgram =
    "options formchar='|-++++++++++=|-/|<>*';\r\n"
    "data _null_;\r\n"
    "  put 'Hello' 42 _n_;\r\n"
    "run;\r\n";

constexpr const char* HelloLog =
    "1          options formchar='|-++++++++++=|-/|<>*';\r\n"
    "2          data _null_;\r\n"
    "3            put 'Hello' 42 _n_;\r\n"
    "4          run;\r\n"
    "Hello 42 1\r\n"
    "NOTE: DATA statement used (Total process time):\r\n"
    "      real time           x.xx seconds\r\n"
    "      cpu time            x.xx seconds\r\n"
    "\r\n";

using StandinCommandLine = StandinTest;

TEST_F(StandinCommandLine, SmallProgramGivesExactLogAndNoListing) {
    EXPECT_EQ(0, Run(HelloProgram));
    EXPECT_EQ(std::string(HelloLog) + ClosingNote, MaskTimes(Read(log_).value_or("<no log>")));
    EXPECT_FALSE(Exists(listing_));
    EXPECT_TRUE(Exists(program_));  // the program file is the caller's
}

TEST_F(StandinCommandLine, OptionNamesIgnoreCase) {
    Write(program_, HelloProgram);
#ifdef _WIN32
    const std::string flags = " -NoLogo -$NOSTATUSWIN -NOCONFIG -Icon";
#else
    const std::string flags = " -NoLogo -NOTERMINAL -NoConfig";
#endif
    const std::string line = "\"" + Executable() + "\"" + flags + " -CONFIG \"" + Config() + "\" -sysin \"" + program_ +
                             "\" -print \"" + listing_ + "\" -log \"" + log_ + "\"";
    EXPECT_EQ(0, RunCommandLine(line));
    EXPECT_EQ(std::string(HelloLog) + ClosingNote, MaskTimes(Read(log_).value_or("<no log>")));
}

#ifdef _WIN32
TEST_F(StandinCommandLine, UnknownOptionIsAWarningAndExitCodeOne) {
    Write(program_, HelloProgram);
    EXPECT_EQ(1, RunCommandLine(CommandLine() + " -fancy"));
    EXPECT_EQ("WARNING: Unrecognized SAS option name, FANCY.\r\n" + std::string(HelloLog) + ClosingNote,
              MaskTimes(Read(log_).value_or("<no log>")));
}

TEST_F(StandinCommandLine, MissingConfigFileStopsBeforeTheProgram) {
    const std::string config = folder_ / "nowhere.cfg";
    const std::string put = folder_ / "out.put";
    Write(program_, "filename _PUT1 '" + put + "' mod; data _null_; file _PUT1; put 'x'; file print; put 'y'; run;");
    EXPECT_EQ(2, RunCommandLine(CommandLine(config)));
    EXPECT_EQ("ERROR: Unable to open the configuration file " + config + ".\r\n", Read(log_).value_or("<no log>"));
    EXPECT_FALSE(Exists(listing_));
    EXPECT_FALSE(Exists(put));
}
#else
// SAS for UNIX does not start with an option it does not know, in its
// configuration file or on its command line, nor with a configuration file it
// cannot open: the reasons go to standard error, the last line to standard
// output, and nothing is written. The options Tamberlo passes stay accepted.
TEST_F(StandinCommandLine, SASForUnixRefusesToStartAndWritesNothing) {
    const std::string put = folder_ / "out.put";
    Write(program_, "filename _PUT1 '" + put + "' mod; data _null_; file _PUT1; put 'x'; file print; put 'y'; run;");
    const std::string windowsConfig = folder_ / "windows.cfg";
    Write(windowsConfig, "/* copied from SAS for Windows: -noconfig */\n-Icon \"-nologo\"\n");
    const std::string missingConfig = folder_ / "nowhere.cfg";
    const std::string known = " -ENCODING utf-8 -SYSPARM s -SET A b -AUTOEXEC \"" + program_ +
                              "\" -ECHOAUTO -SOURCE2 -NOSOURCE2 -MEMSIZE 4G -SORTSIZE 1G -WORK \"w d\"";
    const struct {
        std::string commandLine;
        std::string reasons;
    } cases[] = {
        {CommandLine(windowsConfig),
         "ERROR: Unrecognized SAS option name, ICON, in the configuration file " + windowsConfig + ".\n"},
        {CommandLine(missingConfig), "ERROR: Unable to open the configuration file " + missingConfig + ".\n"},
        {CommandLine() + known + " -stimerr", "ERROR: Unrecognized SAS option name, STIMERR.\n"},
        {CommandLine() + " -fancy -$nostatuswin",
         "ERROR: Unrecognized SAS option name, FANCY.\nERROR: Unrecognized SAS option name, $NOSTATUSWIN.\n"},
        {CommandLine(windowsConfig) + " -Icon",
         "ERROR: Unrecognized SAS option name, ICON, in the configuration file " + windowsConfig +
             ".\nERROR: Unrecognized SAS option name, ICON.\n"},
    };
    for (const auto& run : cases) {
        ChildLaunch launch = StandinLaunch(run.commandLine);
        launch.output = folder_ / "stdout.txt";
        launch.error = folder_ / "stderr.txt";
        EXPECT_EQ(2, RunChild(launch).exitCode) << run.commandLine;
        EXPECT_EQ(run.reasons, Read(launch.error).value_or("<none>"));
        EXPECT_EQ("ERROR: SAS did not start.\n", Read(launch.output).value_or("<none>"));
        EXPECT_FALSE(Exists(log_));
        EXPECT_FALSE(Exists(listing_));
        EXPECT_FALSE(Exists(put));
    }
    // The same options without the unknown one: the run goes through.
    EXPECT_EQ(0, RunCommandLine(CommandLine() + known));
    EXPECT_TRUE(Exists(log_));
}
#endif

TEST_F(StandinCommandLine, MissingProgramFileIsAnError) {
    EXPECT_EQ(2, RunCommandLine(CommandLine()));
    EXPECT_EQ("ERROR: Physical file does not exist, " + program_ + ".\r\n", Read(log_).value_or("<no log>"));
    EXPECT_FALSE(Exists(listing_));
}

TEST_F(StandinCommandLine, WithoutFileOptionsUsesTheStandardStreams) {
    Write(program_, "title 'Streams';\ndata _null_; file print; put 'listed'; file log; put 'logged'; run;\n");
    ChildLaunch launch = StandinLaunch("\"" + Executable() + "\" -nologo");
    launch.input = program_;
    launch.output = folder_ / "stdout.txt";
    launch.error = folder_ / "stderr.txt";
    EXPECT_EQ(0, RunChild(launch).exitCode);

    const std::string log = MaskTimes(Read(launch.error).value_or("<none>"));
    EXPECT_EQ(0u, log.find("1          title 'Streams';\r\n2          data _null_;"));
    EXPECT_NE(std::string::npos, log.find("\r\nlogged\r\nNOTE: DATA statement used"));
    EXPECT_EQ("\f" + std::string(36, ' ') + "Streams" + std::string(37, ' ') + "1\r\n\r\nlisted\r\n",
              Read(launch.output).value_or("<none>"));
}

}  // namespace
}  // namespace tamberlo::standin::test
