#include "TestSupport.h"

#include "host/CommandLine.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tamberlo::test {

namespace fs = std::filesystem;

namespace {

std::string WithSeparator(std::string path) {
    const char separator = static_cast<char>(fs::path::preferred_separator);
    if (path.empty() || path.back() != separator) path += separator;
    return path;
}

void SetEnvironment(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
    ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
#endif
}

}  // namespace

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    const fs::path folder =
        fs::temp_directory_path() / ("tamberlo-test-" + std::to_string(device()) + "-" + std::to_string(counter++));
    fs::create_directories(folder);
    path_ = WithSeparator(folder.string());
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

ScopedEnvironment::ScopedEnvironment(std::string name, const std::string& value)
    : name_(std::move(name)), previous_(GetEnvironment(name_)) {
    SetEnvironment(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironment(name_, previous_); }

ScopedTempDirectory::ScopedTempDirectory(const std::string& folder)
    : tmpdir_("TMPDIR", folder), tmp_("TMP", folder), temp_("TEMP", folder) {}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::vector<std::string> RecordedArguments(const std::string& record) {
#ifdef _WIN32
    return SplitCommandLine(ReadFile(record));
#else
    std::vector<std::string> args;
    std::istringstream lines(ReadFile(record));
    for (std::string line; std::getline(lines, line);) args.push_back(line);
    return args;
#endif
}

std::vector<std::string> ListFolder(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<std::string> GetEnvironment(const std::string& name) {
    if (const char* value = std::getenv(name.c_str())) return std::string(value);
    return std::nullopt;
}

std::string OutsideRunFolder(const std::string& path) {
    const std::size_t name = path.find_last_of('/');
    if (name == std::string::npos || name == 0) return path;
    const std::size_t folder = path.find_last_of('/', name - 1);
    const std::size_t start = folder == std::string::npos ? 0 : folder + 1;
    if (path.compare(start, 7, "tmpSAS_") != 0) return path;
    return path.substr(0, start) + path.substr(name + 1);
}

std::vector<std::string> RunFileNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& name : ListFolder(folder)) {
        const std::filesystem::path path = std::filesystem::path(folder) / name;
        std::error_code error;
        if (name.rfind("tmpSAS_", 0) != 0 || !std::filesystem::is_directory(path, error)) {
            names.push_back(name);
            continue;
        }
        for (const auto& inner : ListFolder(path.string())) names.push_back(inner);
    }
    return names;
}

std::vector<std::string> RunFilesLeft(const std::string& folder) {
    std::vector<std::string> left;
    for (const auto& name : ListFolder(folder))
        if (name.rfind("tmpSAS", 0) == 0) left.push_back(name);
    return left;
}

std::string WritesToPutFile(int n) {
    const std::string ref = "_PUT" + std::to_string(n);
    return "data _null_; file " + ref + "; put 'written to " + ref + "'; run;";
}

Error ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Error& error) {
        return error;
    }
    return Error(0, "", "no error");
}

}  // namespace tamberlo::test
