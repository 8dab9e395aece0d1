#pragma once

// Fault injection for the host's file calls on every platform: a FileFault
// is the file layer's FileEnv while it lives, so the core's opens and writes
// fail where the system's would, with the system's own error code.

#include "host/FileEnv.h"

#include <mutex>
#include <string>

namespace tamberlo::reliability {

class FileFault : private filesystem::FileEnv {
public:
    enum class Action {
        VanishBeforeOpen,  // the file is deleted just before the open
        FailOpen,          // the open fails with `fault`
        FailWrites,        // the open succeeds; every write to it fails with `fault`
    };

    // Applies to every open whose path contains `pathPart`, from its
    // `fromOpen`-th such open on (1: the first). One fault at a time.
    FileFault(std::string pathPart, Action action, filesystem::Fault fault = filesystem::Fault::None, int fromOpen = 1);

    // How many opens matched `pathPart` so far, the spared ones included.
    int MatchingOpens() const;

private:
    filesystem::Fault Open(const std::string& path) override;
    filesystem::Fault Write(const std::string& path) override;
    std::size_t ReadCap(const std::string&) override { return 0; }

    bool Applies(const std::string& path) const { return path.find(pathPart_) != std::string::npos; }

    const std::string pathPart_;
    const Action action_;
    const filesystem::Fault fault_;
    const int fromOpen_;
    mutable std::mutex guard_;
    int seen_ = 0;
    filesystem::ScopedFileEnv installed_{*this};
};

}  // namespace tamberlo::reliability
