#pragma once

#include <string>
#include <vector>

namespace tamberlo::standin {

// What differs between Windows and POSIX, one source file per platform
// (Platform.win32.cpp, Platform.posix.cpp). Nothing else includes a system
// header.
class Platform {
public:
    // The command line as the process received it. Windows: the exact
    // GetCommandLineA() text. POSIX: every argv element, argv[0] included,
    // each followed by "\n".
    static std::string ReceivedCommandLine(int argc, char** argv);

    // The current directory as the system reports it; empty if it cannot.
    static std::string CurrentDirectory();

    // Processor time used by this process so far (user and system), in
    // seconds.
    static double CpuSeconds();

    // The SAS this build stands in for, by the options it knows. Windows:
    // SAS for Windows, which takes -NOLOGO, -$NOSTATUSWIN, -NOCONFIG and
    // -ICON and warns about any other option. POSIX: SAS for UNIX, which
    // takes -NOLOGO, -NOTERMINAL and -NOCONFIG and does not start at all
    // with an option it does not know, on its command line or in its
    // configuration file. The names are upper-case, without the '-'.
    static const std::vector<std::string>& FlagOptions();
    static bool RefusesUnknownOptions();

    // From here on a termination request (SIGTERM on POSIX) does not end the
    // process at once: Sleep notices it, so that the run can tidy up as SAS
    // does (it removes its WORK library) and end. Nothing on Windows, where
    // a hidden SAS is ended without a request.
    static void CatchTermination();
    // Sleeps `seconds`; false as soon as a termination request came.
    static bool Sleep(double seconds);

    // Makes standard input, output and error pass bytes unchanged, so that
    // "\r\n" written stays "\r\n" (a no-op on POSIX).
    static void UseBinaryStandardStreams();
};

}  // namespace tamberlo::standin
