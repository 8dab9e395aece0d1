#pragma once

namespace tamberlo::standin {

// The whole batch run, from the command line to the exit code:
//
// 1. Test switches are read (TestSwitches.h) and the command line recorded
//    if asked.
// 2. The options are parsed (Invocation.h). Where SAS warns about unknown
//    options they become WARNINGs; where it refuses them (SAS for UNIX), an
//    unknown option in the -CONFIG file or on the command line, or a -CONFIG
//    file that cannot be read, ends the run before the log exists: one line
//    a reason on standard error, then "ERROR: SAS did not start." on
//    standard output, nothing else written, exit code 2.
// 3. A -CONFIG file that cannot be read (SAS for Windows): the log holds
//    "ERROR: Unable to open the configuration file <path>." and nothing is
//    run. A -SYSIN file that cannot be read: the log holds
//    "ERROR: Physical file does not exist, <path>." and nothing is run.
//    Without -SYSIN the program is read from standard input.
// 4. The program runs (Session.h) and the log gets its closing note.
// 5. The log goes to the -LOG file (replaced), or to standard error; the
//    listing, only if the program printed anything, to the -PRINT file
//    (replaced), or to standard output.
//
// Returns the code that an ABORT statement asked for (3 for ABORT, 4 for
// ABORT RETURN, 5 for ABORT ABEND, n for ABORT RETURN n or ABORT ABEND n);
// otherwise 2 if any ERROR was reported, else 1 if any WARNING was, else 0.
// A log or listing that could not be written gives 2 in any case;
// TAMBERLO_STANDIN_EXIT overrides them all.
class StandIn {
public:
    static int Run(int argc, char** argv);
};

}  // namespace tamberlo::standin
