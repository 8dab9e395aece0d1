#include "host/FileEnv.h"

#include <atomic>
#include <stdexcept>

namespace tamberlo::filesystem {

namespace {

std::atomic<FileEnv*> installed{nullptr};

}  // namespace

ScopedFileEnv::ScopedFileEnv(FileEnv& env) {
    FileEnv* none = nullptr;
    if (!installed.compare_exchange_strong(none, &env)) throw std::logic_error("one FileEnv at a time");
}

ScopedFileEnv::~ScopedFileEnv() { installed.store(nullptr); }

FileEnv* InstalledFileEnv() noexcept { return installed.load(std::memory_order_acquire); }

std::size_t ReadCapOf(const std::string& path) {
    FileEnv* env = InstalledFileEnv();
    const std::size_t cap = env ? env->ReadCap(path) : 0;
    return cap ? cap : static_cast<std::size_t>(-1);
}

}  // namespace tamberlo::filesystem
