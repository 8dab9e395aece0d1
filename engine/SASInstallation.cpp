#include "engine/SASInstallation.h"

#include "engine/MethodErrors.h"
#include "engine/SASContract.h"
#include "host/Error.h"
#include "host/FileSystem.h"
#include "host/HostEnvironment.h"

namespace tamberlo {

namespace {

[[noreturn]] void Fail(const std::string& description) {
    throw Error(ComponentErrorNumber, ExecuteSource, description);
}

}  // namespace

SASInstallation::SASInstallation() : SASInstallation(filesystem::ProbeReadable) {}

SASInstallation::SASInstallation(ExistenceTest exists)
    : exists_(std::move(exists)),
      candidateRoots_([] { return StandardRoots(); }),
      separator_(filesystem::PathSeparator()) {}

SASInstallation::SASInstallation(ExistenceTest exists, std::vector<std::string> candidateRoots, char separator)
    : exists_(std::move(exists)),
      candidateRoots_([roots = std::move(candidateRoots)] { return roots; }),
      separator_(separator) {}

std::vector<std::string> SASInstallation::StandardRoots(const std::string& under) {
    std::vector<std::string> roots;
    if (auto onPath = hostenv::FolderOfProgramOnPath(sas::ExecutableName, sas::DefaultConfigFileName))
        roots.push_back(std::move(*onPath));
    for (const char* folder : sas::StandardFolders) {
        for (std::string& root : hostenv::DriveRootsToSearch(under + folder)) roots.push_back(std::move(root));
    }
    return roots;
}

std::string SASInstallation::ResolveSASRoot(const std::string& SASRoot) const {
    if (!SASRoot.empty()) {
        std::string root = SASRoot;
        if (root.back() != separator_) root += separator_;
        if (exists_(root + sas::ExecutableName)) return root;
        Fail("The SAS executable '" + root + sas::ExecutableName +
             "' does not exist.  Did you specify the correct SASRoot?");
    }
    for (const std::string& root : candidateRoots_()) {
        if (exists_(root + sas::ExecutableName)) return root;
    }
    Fail(sas::NotFoundDescription);
}

std::string SASInstallation::ResolveConfigFile(const std::string& root, const std::string& SASConfigFile) const {
    if (!SASConfigFile.empty()) {
        if (exists_(SASConfigFile)) return SASConfigFile;
        Fail("The SAS config file '" + SASConfigFile + "' does not exist.  Did you specify the correct SASConfig?");
    }
    const std::string defaultFile = root + sas::DefaultConfigFileName;
    if (exists_(defaultFile)) return defaultFile;
    Fail("The default SAS config file '" + defaultFile +
         "' does not exist.  You will need to specify the config file when calling the Execute method.");
}

}  // namespace tamberlo
