#pragma once

#include <string>

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

    // Makes standard input, output and error pass bytes unchanged, so that
    // "\r\n" written stays "\r\n" (a no-op on POSIX).
    static void UseBinaryStandardStreams();
};

}  // namespace tamberlo::standin
