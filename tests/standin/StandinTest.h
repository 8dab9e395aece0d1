#pragma once

#include "ChildProcess.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tamberlo::standin::test {

using tamberlo::test::ChildLaunch;
using tamberlo::test::RunChild;

// Runs the built stand-in (SAS.EXE, or sas natively) in a scratch folder of
// the test's own, with the command line exactly as Tamberlo builds it.
class StandinTest : public ::testing::Test {
protected:
    using Environment = std::vector<std::pair<std::string, std::string>>;

    StandinTest();

    // The stand-in and the configuration file beside it, as paths the test's
    // platform understands.
    static std::string Executable();
    static std::string Config();
    // A path that the build handed over (POSIX form) as this platform
    // reaches it: under Wine through drive Z:.
    static std::string HostPath(std::string path);

    // "\"<stand-in>\" <fixed options> -config \"...\" -SYSIN \"...\"
    // -PRINT \"...\" -LOG \"...\"" with this test's program, listing and log
    // paths, as the build's engine makes it.
    std::string CommandLine(const std::string& config = Config()) const;

    // Writes `program` to the program file and runs the standard command
    // line in the scratch folder. Returns the exit code.
    int Run(const std::string& program, const Environment& environment = {});
    int RunCommandLine(const std::string& commandLine, const Environment& environment = {});
    // How those start the stand-in: in the scratch folder, with the
    // environment's stand-in switches only those given.
    ChildLaunch StandinLaunch(const std::string& commandLine, const Environment& environment = {}) const;

    // The file's bytes, or nothing if it does not exist.
    static std::optional<std::string> Read(const std::string& path);
    static void Write(const std::string& path, const std::string& bytes);
    static bool Exists(const std::string& path);

    // The log with every "n.nn seconds" turned into "x.xx seconds".
    static std::string MaskTimes(const std::string& log);
    // The seconds of the first "real time" line after `note`, -1 if none.
    static double RealTimeAfter(const std::string& log, const std::string& note);

    ScratchFolder folder_;
    std::string program_;
    std::string listing_;
    std::string log_;
};

}  // namespace tamberlo::standin::test
