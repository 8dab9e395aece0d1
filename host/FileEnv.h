#pragma once

#include <cstddef>
#include <string>

// The seam between the file layer (FileSystem.h) and the system. The layer
// asks the installed FileEnv before each open, write and read it makes, and
// fails the call or cuts it short where the FileEnv says so, exactly as if
// the system had: the same platform error code, turned into the same
// run-time error by the same code. None is installed outside tests, and then
// the layer asks nothing.
namespace tamberlo::filesystem {

// A failure of one file call, named the same way on every platform; the
// file layer gives it the system's own code (ENOSPC, ERROR_DISK_FULL, ...).
enum class Fault { None, FileNotFound, AccessDenied, TooManyFiles, DiskFull };

class FileEnv {
public:
    virtual ~FileEnv() = default;
    // Before `path` is opened or created: a fault fails the open.
    virtual Fault Open(const std::string& path) = 0;
    // Before each write to the file opened as `path`: a fault fails it.
    virtual Fault Write(const std::string& path) = 0;
    // The most bytes one read of `path` returns (a system may return fewer
    // than asked at any read, and the layer must read on); 0 for no cap.
    virtual std::size_t ReadCap(const std::string& path) = 0;
};

// Installs `env` for the whole process while it lives; one at a time (a
// second throws std::logic_error). For tests only.
class ScopedFileEnv {
public:
    explicit ScopedFileEnv(FileEnv& env);
    ~ScopedFileEnv();
    ScopedFileEnv(const ScopedFileEnv&) = delete;
    ScopedFileEnv& operator=(const ScopedFileEnv&) = delete;
};

// The installed FileEnv, or nullptr.
FileEnv* InstalledFileEnv() noexcept;

// The most bytes one read of `path` may return: what the installed FileEnv
// allows, else no limit (the largest size_t).
std::size_t ReadCapOf(const std::string& path);

}  // namespace tamberlo::filesystem
