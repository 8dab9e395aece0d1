// A controllable stand-in for SAS (SAS.EXE, natively sas) for the engine's
// own tests. It takes the engine's command line and, driven by environment
// variables:
//   FAKESAS_RECORD=<prefix>  writes <prefix>.cmdline (Windows: the command
//                            line as received; POSIX: one argument a line)
//                            and <prefix>.program (the -SYSIN file as read)
//   FAKESAS_LOG / FAKESAS_LST  the texts to write as log and listing
//   FAKESAS_NO_LOG / FAKESAS_NO_LST  write no log / no listing
//   FAKESAS_SLEEP_MS=<n>     waits first
// For every "filename <ref> '<path>' mod;" line of the program it appends
// "written to <ref>" and a line break to <path> ('' read as one quote).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const char* Env(const char* name) { return std::getenv(name); }

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text, bool append = false) {
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << text;
}

std::string OptionValue(int argc, char** argv, const char* option) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], option) == 0) return argv[i + 1];
    return {};
}

void WritePutFiles(const std::string& program) {
    std::istringstream lines(program);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("filename ", 0) != 0) continue;
        const auto refEnd = line.find(' ', 9);
        const auto open = line.find('\'', refEnd);
        const auto close = line.rfind("' mod;");
        if (refEnd == std::string::npos || open == std::string::npos || close == std::string::npos) continue;
        std::string path;
        for (auto i = open + 1; i < close; ++i) {
            path += line[i];
            if (line[i] == '\'' && i + 1 < close && line[i + 1] == '\'') ++i;
        }
        Write(path, "written to " + line.substr(9, refEnd - 9) + "\r\n", true);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* wait = Env("FAKESAS_SLEEP_MS"))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(wait)));

    const std::string program = Read(OptionValue(argc, argv, "-SYSIN"));
    if (const char* record = Env("FAKESAS_RECORD")) {
#ifdef _WIN32
        Write(std::string(record) + ".cmdline", ::GetCommandLineA());
#else
        std::string args;
        for (int i = 0; i < argc; ++i) args += std::string(argv[i]) + "\n";
        Write(std::string(record) + ".cmdline", args);
#endif
        Write(std::string(record) + ".program", program);
    }
    WritePutFiles(program);

    if (!Env("FAKESAS_NO_LOG")) Write(OptionValue(argc, argv, "-LOG"), Env("FAKESAS_LOG") ? Env("FAKESAS_LOG") : "fake log\r\n");
    if (!Env("FAKESAS_NO_LST"))
        Write(OptionValue(argc, argv, "-PRINT"), Env("FAKESAS_LST") ? Env("FAKESAS_LST") : "\x0c" "fake listing\r\n");
    return 0;
}
