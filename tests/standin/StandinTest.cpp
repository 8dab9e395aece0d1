#include "StandinTest.h"

#include "engine/SASContract.h"
#include "tests/support/HostPath.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

namespace tamberlo::standin::test {

namespace {

std::string TestLabel() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "standin";
}

}  // namespace

std::string StandinTest::HostPath(std::string path) { return tamberlo::test::HostPath(std::move(path)); }

StandinTest::StandinTest()
    : folder_(TestLabel()),
      program_(folder_ / "tmpSASProgram_4711.sas"),
      listing_(folder_ / "tmpSASLst_4712.lst"),
      log_(folder_ / "tmpSASLog_4713.log") {}

std::string StandinTest::Executable() { return HostPath(STANDIN_EXE); }

std::string StandinTest::Config() { return HostPath(STANDIN_CONFIG); }

std::string StandinTest::CommandLine(const std::string& config) const {
    return "\"" + Executable() + "\"" + sas::FixedOptions + sas::ConfigOption + "\"" + config + "\"" +
           sas::SysinOption + "\"" + program_ + "\"" + sas::PrintOption + "\"" + listing_ + "\"" + sas::LogOption +
           "\"" + log_ + "\"";
}

int StandinTest::Run(const std::string& program, const Environment& environment) {
    Write(program_, program);
    return RunCommandLine(CommandLine(), environment);
}

ChildLaunch StandinTest::StandinLaunch(const std::string& commandLine, const Environment& environment) const {
    ChildLaunch launch;
    launch.commandLine = commandLine;
    launch.environment = environment;
    // Switches the test's own environment may hold do not reach the stand-in.
    launch.dropPrefix = "TAMBERLO_STANDIN_";
    launch.directory = folder_.Path();
    return launch;
}

int StandinTest::RunCommandLine(const std::string& commandLine, const Environment& environment) {
    return RunChild(StandinLaunch(commandLine, environment)).exitCode;
}

std::optional<std::string> StandinTest::Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void StandinTest::Write(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
    if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

bool StandinTest::Exists(const std::string& path) { return std::filesystem::exists(path); }

std::string StandinTest::MaskTimes(const std::string& log) {
    static const std::regex seconds("[0-9]+\\.[0-9][0-9] seconds");
    return std::regex_replace(log, seconds, "x.xx seconds");
}

double StandinTest::RealTimeAfter(const std::string& log, const std::string& note) {
    const auto at = log.find(note);
    if (at == std::string::npos) return -1.0;
    const std::string label = "real time";
    const auto time = log.find(label, at);
    if (time == std::string::npos) return -1.0;
    return std::strtod(log.c_str() + time + label.size(), nullptr);
}

}  // namespace tamberlo::standin::test
