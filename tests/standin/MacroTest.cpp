#include "StandinTest.h"

#include <gmock/gmock.h>

namespace tamberlo::standin::test {
namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

using StandinMacros = StandinTest;

TEST_F(StandinMacros, ParametersResolveAsSASResolvesThem) {
    struct Case {
        const char* options;  // after the standard command line
        const char* program;
        const char* shown;  // a whole line of the log
        int exitCode;
    };
    const Case cases[] = {
        {R"( -SYSPARM "study 12")", "%put [&sysparm];", "[study 12]", 0},
        {"", "%put [&sysparm];", "[]", 0},
        {R"( -SET REGION "north \"x\"")", "%put %sysget(REGION);", "north \"x\"", 0},
        {"", "%let a =  one two ;\r\n%put [&a.]&a;", "[one two]one two", 0},
        // What macro quoting holds is not resolved again.
        {R"x( -SET TAMBERLO_LET_V "a;b&c%d)")x", "%LET V=%QSYSFUNC(SYSGET(TAMBERLO_LET_V));\r\n%put &V;", "a;b&c%d)",
         0},
        {R"( -SET E "")", "%LET V=%QSYSFUNC(SYSGET(E));\r\n%put [&V];", "[]", 0},
        {R"( -SYSPARM x)", R"(data _null_; put "&sysparm" '&sysparm'; run;)", "x &sysparm", 0},
        {"", "%put &nothing;", "WARNING: Apparent symbolic reference NOTHING not resolved.", 1},
        {"", "%put [%sysget(TAMBERLO_NOT_SET_ANYWHERE)];",
         "WARNING: The argument to macro function %SYSGET is not defined as a system variable.", 1},
        {"", "%let 1a=x;", "ERROR: Invalid symbolic variable name 1A.", 2},
        // A double-quoted %INCLUDE name is resolved, a single-quoted one not.
        {"", "%let d=none;\r\n%include \"&d/x.sas\";", "ERROR: Cannot open %INCLUDE file none/x.sas.", 2},
        {"", "%let d=none;\r\n%include '&d/x.sas';", "ERROR: Cannot open %INCLUDE file &d/x.sas.", 2},
        // System options it does not model are taken, on either platform.
        {" -MEMSIZE 4G -SORTSIZE 1G -WORK \"w d\"", "%put fine;", "fine", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.options) + " " + c.program);
        Write(program_, c.program);
        EXPECT_EQ(c.exitCode, RunCommandLine(CommandLine() + c.options));
        EXPECT_THAT(Read(log_).value_or(""), HasSubstr("\r\n" + std::string(c.shown) + "\r\n"));
    }
}

TEST_F(StandinMacros, AutoexecRunsFirstUnechoed) {
    const std::string autoexec = folder_ / "auto exec.sas";
    Write(autoexec, "%let from = auto;\r\ndata _null_; put 'from autoexec'; run;\r\n");
    Write(program_, "%put &from;\r\n");
    EXPECT_EQ(0, RunCommandLine(CommandLine() + " -AUTOEXEC \"" + autoexec + "\""));
    const std::string log = MaskTimes(Read(log_).value_or(""));
    EXPECT_THAT(log, StartsWith("NOTE: AUTOEXEC processing beginning; file is " + autoexec +
                                ".\r\n\r\nfrom autoexec\r\nNOTE: DATA statement used (Total process time):\r\n"));
    EXPECT_THAT(log, HasSubstr("\r\nNOTE: AUTOEXEC processing completed.\r\n\r\n1          %put &from;\r\nauto\r\n"));
    EXPECT_THAT(log, Not(HasSubstr("%let from")));
}

}  // namespace
}  // namespace tamberlo::standin::test
