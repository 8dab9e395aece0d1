#pragma once

#include <optional>
#include <string>

namespace tamberlo::standin {

// Switches that let tests drive the stand-in through its environment. All
// are optional; an empty or unreadable value counts as unset.
//
//   TAMBERLO_STANDIN_RECORD=<file>  before anything else, write the command
//       line received to <file> (Windows: the exact GetCommandLineA() text;
//       POSIX: each argv element, argv[0] included, followed by "\n"), and
//       the current directory to <file>.cwd (one line, no line end); once
//       the program is read, the program as read to <file>.program.
//   TAMBERLO_STANDIN_SLEEP=<seconds>  sleep that long (decimal, may be
//       fractional) before running the program.
//   TAMBERLO_STANDIN_EXIT=<code>  exit with this code instead of the usual
//       0/1/2, after writing everything.
//   TAMBERLO_STANDIN_LOG=<text>   write <text> as the log, in place of the
//       run's own (the program still runs).
//   TAMBERLO_STANDIN_LIST=<text>  write <text> as the listing, in place of
//       the run's own, even where the run printed nothing.
//   TAMBERLO_STANDIN_NO_LOG=1   write no log.
//   TAMBERLO_STANDIN_NO_LIST=1  write no listing.
//   TAMBERLO_STANDIN_CRASH=1    run the program, write the first half of
//       the log (by bytes), write no listing and std::abort().
//
// For the three on/off switches any value other than "" and "0" means on.
struct TestSwitches {
    std::optional<std::string> record;
    double sleepSeconds = 0.0;
    std::optional<int> exitCode;
    std::optional<std::string> logText;
    std::optional<std::string> listText;
    bool noLog = false;
    bool noList = false;
    bool crash = false;

    static TestSwitches FromEnvironment();
};

}  // namespace tamberlo::standin
