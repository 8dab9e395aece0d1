#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tamberlo {

// Finds the SAS executable and the configuration file. Each step returns a
// path that exists or throws error 1 with source "Execute method" and a
// description that tells the client what to supply.
class SASInstallation {
public:
    using ExistenceTest = std::function<bool(const std::string& path)>;

    // The host's file probe and StandardRoots(), asked anew at every search
    // (PATH may have changed since).
    SASInstallation();
    // For tests: the host's drive roots, probed through a replaced existence test.
    explicit SASInstallation(ExistenceTest exists);
    // For tests: a replaced existence test and candidate roots (each ending
    // in the separator), searched in order when no root is given.
    SASInstallation(ExistenceTest exists, std::vector<std::string> candidateRoots, char separator);

    // The roots searched when no root is given, in order. Windows: the
    // standard folder on drives C to Z. POSIX: the installation of the sas
    // on PATH (hostenv::FolderOfProgramOnPath), then each standard folder. `under` goes in
    // front of every standard folder, so that tests can point the search at
    // folders of their own; the folder from PATH stays as found.
    static std::vector<std::string> StandardRoots(const std::string& under = "");

    // The root, ending in the separator: the given one completed, or the first
    // candidate holding the executable.
    std::string ResolveSASRoot(const std::string& SASRoot) const;
    // The given configuration file, or the default one beside the executable.
    std::string ResolveConfigFile(const std::string& root, const std::string& SASConfigFile) const;

private:
    ExistenceTest exists_;
    std::function<std::vector<std::string>()> candidateRoots_;
    char separator_;
};

}  // namespace tamberlo
