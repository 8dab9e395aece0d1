// The file layer through its FileEnv seam: reads the system cuts short, and
// failures the system gives, each turned into the run-time error a user sees.

#include "ErrorMatcher.h"
#include "TestSupport.h"
#include "host/FileEnv.h"
#include "host/FileSystem.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>

using namespace tamberlo;
using filesystem::Fault;
using test::ErrorOf;
using test::IsError;

namespace {

// Caps every read and fails every open or write, as set.
class SetEnv : public filesystem::FileEnv {
public:
    Fault open = Fault::None;
    Fault write = Fault::None;
    std::size_t cap = 0;

private:
    Fault Open(const std::string&) override { return open; }
    Fault Write(const std::string&) override { return write; }
    std::size_t ReadCap(const std::string&) override { return cap; }
};

}  // namespace

// The first read comes back short of the size fstat saw (a file that shrank,
// a read capped at 2 GiB): the rest is read, and nothing more is made up.
TEST(FileEnv, WholeFileReadCutShortReadsOnToTheEnd) {
    test::TempFolder dir;
    SetEnv env;
    const filesystem::ScopedFileEnv installed(env);
    for (const std::size_t cap : std::initializer_list<std::size_t>{1, 7, 4096, 4097, 70000}) {
        for (const std::size_t size : std::initializer_list<std::size_t>{0, 1, 7, 4096, 10000, 65537}) {
            std::string content(size, 'x');
            for (std::size_t i = 0; i < size; i += 13) content[i] = static_cast<char>('a' + i % 26);
            test::WriteFile(dir / "cut.bin", content);
            env.cap = cap;
            EXPECT_EQ(filesystem::ReadWholeFile(dir / "cut.bin"), content) << size << " bytes by " << cap;
            EXPECT_EQ(filesystem::ReadWholeFileIfPresent(dir / "cut.bin"), content) << size << " bytes by " << cap;
        }
    }
}

// Each fault reaches the caller as the error the system's own would be, and
// a file whose writing failed is not left behind.
TEST(FileEnv, FaultsBecomeTheSystemsErrors) {
    test::TempFolder dir;
    test::WriteFile(dir / "there.txt", "there");
    SetEnv env;
    const filesystem::ScopedFileEnv installed(env);
    const struct {
        Fault open, write;
        long number;
        const char* description;
    } cases[] = {
        {Fault::FileNotFound, Fault::None, 53, "File not found"},
        {Fault::AccessDenied, Fault::None, 75, "Path/File access error"},
        {Fault::TooManyFiles, Fault::None, 67, "Too many files"},
        {Fault::None, Fault::DiskFull, 61, "Disk full"},
    };
    for (const auto& c : cases) {
        env.open = c.open;
        env.write = c.write;
        if (c.open != Fault::None) {
            EXPECT_THAT(ErrorOf([&] { filesystem::ReadWholeFile(dir / "there.txt"); }),
                        IsError(c.number, "Tamberlo", c.description));
            EXPECT_THAT(ErrorOf([&] { filesystem::CheckReadable(dir / "there.txt"); }),
                        IsError(c.number, "Tamberlo", c.description));
        }
        EXPECT_THAT(
            ErrorOf([&] { filesystem::WriteWholeFile(dir / "there.txt", "new", filesystem::WriteMode::Overwrite); }),
            IsError(c.number, "Tamberlo", c.description));
        EXPECT_THAT(ErrorOf([&] { filesystem::CreateNewFile(dir / "new.txt", "new"); }),
                    IsError(c.number, "Tamberlo", c.description));
        EXPECT_FALSE(test::Exists(dir / "new.txt")) << c.description;
    }
    env.open = env.write = Fault::None;
    EXPECT_EQ(filesystem::ReadWholeFile(dir / "there.txt"), "") << "cut to empty by the overwrite that failed";
}
