#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tamberlo {

// Finds SAS.EXE and the configuration file. Each step returns a path that
// exists or throws error 1 with source "Execute method" and a description
// that tells the client what to supply.
class SASInstallation {
public:
    using ExistenceTest = std::function<bool(const std::string& path)>;

    // The host's file probe and drive roots.
    SASInstallation();
    // For tests: the host's drive roots, probed through a replaced existence test.
    explicit SASInstallation(ExistenceTest exists);
    // For tests: a replaced existence test and candidate roots (each ending
    // in the separator), searched in order when no root is given.
    SASInstallation(ExistenceTest exists, std::vector<std::string> candidateRoots, char separator);

    // The root, ending in the separator: the given one completed, or the first
    // candidate holding SAS.EXE.
    std::string ResolveSASRoot(const std::string& SASRoot) const;
    // The given configuration file, or the default one beside SAS.EXE.
    std::string ResolveConfigFile(const std::string& root, const std::string& SASConfigFile) const;

private:
    ExistenceTest exists_;
    std::vector<std::string> candidateRoots_;
    char separator_;
};

}  // namespace tamberlo
