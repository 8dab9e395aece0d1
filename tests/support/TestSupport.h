#pragma once

#include "host/Error.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tamberlo::test {

// A fresh folder for one test, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, ending in the platform's separator.
    const std::string& Path() const noexcept { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

// Sets an environment variable for the lifetime of the object and restores
// the earlier value (or its absence) afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::string& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Points the system temporary folder of this process at `folder` (TMPDIR on
// POSIX, TMP and TEMP on Windows) for the lifetime of the object.
class ScopedTempDirectory {
public:
    explicit ScopedTempDirectory(const std::string& folder);

private:
    ScopedEnvironment tmpdir_;
    ScopedEnvironment tmp_;
    ScopedEnvironment temp_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
// The names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::string& folder);
std::optional<std::string> GetEnvironment(const std::string& name);
// The run's own temporary files (tmpSAS...) left in a folder.
std::vector<std::string> RunFilesLeft(const std::string& folder);

// The Error that `call` throws; number 0 and "no error" when it throws none.
Error ErrorOf(const std::function<void()>& call);

}  // namespace tamberlo::test
