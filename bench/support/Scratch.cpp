#include "support/Scratch.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace tamberlo::bench {

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(2);
}

constexpr long TmpfsMagic = 0x01021994;

class Folder {
public:
    // Below $TMPDIR (or /tmp), which then names the folder.
    Folder() {
        const char* base = std::getenv("TMPDIR");
        Make(std::string(base && *base ? base : "/tmp"));
        ::setenv("TMPDIR", path_.c_str(), 1);
    }
    // Below `base` when that is a tmpfs; else no folder.
    explicit Folder(const std::string& base) {
        struct statfs info {};
        if (::statfs(base.c_str(), &info) == 0 && static_cast<long>(info.f_type) == TmpfsMagic) Make(base);
    }
    ~Folder() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& Path() const noexcept { return path_; }

private:
    void Make(const std::string& base) {
        std::string pattern = base + "/tamberlo-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) Fail("cannot make a scratch folder in " + pattern);
        path_ = pattern;
    }

    std::string path_;
};

}  // namespace

const std::string& ScratchFolder() {
    static const Folder folder;
    return folder.Path();
}

const std::string& MemoryScratchFolder() {
    static const Folder folder("/dev/shm");
    return folder.Path();
}

std::string ScratchPath(const std::string& name) { return ScratchFolder() + "/" + name; }

void WriteFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) Fail("cannot write " + path);
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) Fail("cannot write " + path);
    if (std::fclose(file) != 0) Fail("cannot write " + path);
}

FileContent ReadFileOnce(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) Fail("cannot open " + path);
    struct stat info {};
    if (::fstat(fd, &info) != 0) Fail("cannot size " + path);
    FileContent content;
    content.size = static_cast<std::size_t>(info.st_size);
    content.bytes.reset(new char[content.size]);
    std::size_t filled = 0;
    while (filled < content.size) {
        const ssize_t got = ::read(fd, content.bytes.get() + filled, content.size - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) Fail("cannot read " + path);
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    return content;
}

}  // namespace tamberlo::bench
