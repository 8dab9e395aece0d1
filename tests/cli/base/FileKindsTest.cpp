// What the command meets where it expects a plain file: devices, named
// pipes, symbolic links (dangling ones too), the files it reads, and a
// standard output that cannot be written. Nothing it did not make may be
// replaced or removed, and every refusal says why with the right status.

#include "CommandTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#ifndef _WIN32

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using namespace tamberlo;

namespace {

namespace fs = std::filesystem;

// What a name is, without following a link.
std::string KindOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "nothing";
    if (S_ISLNK(info.st_mode)) return "link";
    if (S_ISCHR(info.st_mode)) return "device";
    if (S_ISFIFO(info.st_mode)) return "pipe";
    if (S_ISDIR(info.st_mode)) return "folder";
    return "file";
}

// The read end of a named pipe, open (without waiting for a writer) while
// it lives, so that a command can write into the pipe; Drain takes what is
// waiting in it.
class PipeReader {
public:
    explicit PipeReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_NONBLOCK)) {}
    ~PipeReader() {
        if (fd_ >= 0) ::close(fd_);
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    std::string Drain() const {
        std::string text;
        char buffer[4096];
        for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
        return text;
    }

private:
    int fd_;
};

class FileKinds : public test::CommandTest {
protected:
    FileKinds() {
        WriteWork("ok.sas", "data _null_; run;\r\n");
        WriteWork("ae.sas", "data _null_; run;\r\n");
        WriteWork("my.cfg", "-encoding utf-8\r\n");
        fs::create_directory(Work("devs"));
        // A device of its own where the test may make one (as root);
        // elsewhere a link to the system's.
        if (::mknod(Work("devs/null").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            fs::create_symlink("/dev/null", Work("devs/null"));
        ::mkfifo(Work("devs/fifo").c_str(), 0600);
        ::mkfifo(Work("devs/unread").c_str(), 0600);
        fs::create_symlink("/proc/self/fd/1", Work("devs/stdout"));
        fs::create_symlink("/dev/null", Work("devs/null.sas"));
        fs::create_directory(Work("real"));
        WriteWork("real/old.xml", "an earlier report");
        fs::create_symlink("real/old.xml", Work("to-old.xml"));
        fs::create_symlink("real/new.xml", Work("to-new.xml"));
        fs::create_symlink(Work("share/missing"), Work("share-link"));
    }
};

// Reports go into a device, a pipe or through a link as into the file
// they name, and leave each of them what it was; where they cannot, the
// command says so before anything runs and removes nothing it did not make.
TEST_F(FileKinds, ReportsWriteIntoWhatTheyNameAndReplaceNothing) {
    const PipeReader reader(Work("devs/fifo"));
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string err;  // standard error, whole
        std::string out;  // in standard output
    };
    const std::vector<Case> cases{
        {{"--junit", "devs/null", "--sarif", "devs/fifo", "--json", "devs/stdout"}, 0, "", "\"programs\""},
        {{"--junit", "to-old.xml", "--json", "to-new.xml"}, 0, "", "1 clean"},
        {{"--html", "devs/unread"}, 64, "tamberlo: --html devs/unread: cannot write: nothing reads the pipe\n", ""},
        {{"--junit", "to-new.xml", "--json", "real/new.xml"},
         64,
         "tamberlo: --json real/new.xml: the same file as --junit to-new.xml\n",
         ""},
        {{"--junit", "share-link/j.xml"},
         64,
         "tamberlo: --junit share-link/j.xml: cannot create the file: Path not found\n",
         ""},
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = test.arguments;
        arguments.push_back("ok.sas");
        const test::ToolResult result = Batch(arguments);
        EXPECT_EQ(result.exitCode, test.exitCode) << test.arguments[1];
        EXPECT_EQ(result.err, test.err);
        EXPECT_NE(result.out.find(test.out), std::string::npos) << result.out;
    }
    for (const auto& [name, kind] : std::vector<std::pair<std::string, std::string>>{{"devs/fifo", "pipe"},
                                                                                     {"devs/unread", "pipe"},
                                                                                     {"devs/stdout", "link"},
                                                                                     {"to-old.xml", "link"},
                                                                                     {"to-new.xml", "link"},
                                                                                     {"share-link", "link"},
                                                                                     {"real/old.xml", "file"},
                                                                                     {"real/new.xml", "file"}}) {
        EXPECT_EQ(KindOf(Work(name)), kind) << name;
    }
    EXPECT_NE(KindOf(Work("devs/null")), "file");
    EXPECT_NE(reader.Drain().find("\"$schema\""), std::string::npos) << "no SARIF came through the pipe";
    EXPECT_NE(test::ReadFile(Work("real/old.xml")).find("<testsuite "), std::string::npos);
    EXPECT_NE(test::ReadFile(Work("real/new.xml")).find("\"programs\""), std::string::npos);
    EXPECT_EQ(test::ListFolder(Work("devs")).size(), 5U) << "a temporary file was left beside the devices";
}

// Files the command reads are neither written over nor read when they are
// no files, and a standard output that takes nothing fails the batch.
TEST_F(FileKinds, InputsAreKeptAndWhatCannotBeReadOrWrittenIsNamed) {
    struct Case {
        std::string command;  // "run", "batch", or "batch >/dev/full"
        std::vector<std::string> arguments;
        int exitCode;
        std::string shown;                    // on standard error or output
        bool withoutTemporaryFolder = false;  // TMPDIR names a folder that is not there
    };
    const std::vector<Case> cases{
        {"batch",
         {"--autoexec", "ae.sas", "--junit", "ae.sas", "ok.sas"},
         64,
         "tamberlo: --junit ae.sas: the same file as --autoexec ae.sas\n"},
        {"batch",
         {"--config", "my.cfg", "--sarif", "./my.cfg", "ok.sas"},
         64,
         "tamberlo: --sarif ./my.cfg: the same file as --config my.cfg\n"},
        {"run",
         {"--autoexec", "ae.sas", "--log", "ae.sas", "ok.sas"},
         64,
         "tamberlo: --log ae.sas: the same file as --autoexec ae.sas\n"},
        {"run",
         {"--config", "my.cfg", "--lst", "my.cfg", "ok.sas"},
         64,
         "tamberlo: --lst my.cfg: the same file as --config my.cfg\n"},
        // Nothing is sent: the check comes before any connection is tried.
        {"run",
         {"--remote", "127.0.0.9:1", "--send", "ae.sas", "--log", "./ae.sas", "ok.sas"},
         64,
         "tamberlo: --log ./ae.sas: the same file as --send ae.sas\n"},
        {"run", {"devs/null.sas"}, 64, "tamberlo: devs/null.sas: not a regular file\n"},
        {"batch", {"devs/null.sas"}, 3, "\nnull: devs/null.sas: not a regular file\n"},
        {"batch", {"--config", "devs/fifo", "ok.sas"}, 64, "tamberlo: --config devs/fifo: not a regular file\n"},
        {"batch", {"--config", "real", "ok.sas"}, 64, "tamberlo: --config real: not a regular file\n"},
        {"run",
         {"--autoexec", "devs/null.sas", "ok.sas"},
         64,
         "tamberlo: --autoexec devs/null.sas: not a regular file\n"},
        {"run",
         {"--log", "devs/unread", "ok.sas"},
         64,
         "tamberlo: --log devs/unread: cannot write: nothing reads the pipe\n"},
        {"batch >/dev/full", {"ok.sas"}, 74, "tamberlo: standard output: cannot write: No space left on device\n"},
        {"run", {"-e", "data _null_; file _PUT1; put 'x'; run;"}, 74, "tamberlo: the temporary folder ", true},
        {"batch", {"--junit", "j.xml", "ok.sas"}, 74, "tamberlo: the temporary folder ", true},
    };
    for (const Case& test : cases) {
        std::optional<test::ScopedEnvironment> temporary;
        if (test.withoutTemporaryFolder) temporary.emplace("TMPDIR", Work("gone/"));
        test::ToolResult result;
        if (test.command == "run") {
            result = Run(test.arguments);
        } else if (test.command == "batch") {
            result = Batch(test.arguments);
        } else {
            std::vector<std::string> arguments{"-c", "exec \"$0\" batch --sas-root \"$1\" \"$2\" >/dev/full",
                                               CommandPath(), StandInRoot()};
            arguments.insert(arguments.end(), test.arguments.begin(), test.arguments.end());
            result = test::RunTool("/bin/sh", arguments, Work(), MakeFolder("full"));
        }
        EXPECT_EQ(result.exitCode, test.exitCode) << test.command << " " << test.arguments[0];
        EXPECT_NE((result.err + result.out).find(test.shown), std::string::npos) << result.err << result.out;
        if (test.withoutTemporaryFolder) {
            EXPECT_EQ(result.err, "tamberlo: the temporary folder " + Work("gone/") + ": No such file or directory\n");
        }
    }
    EXPECT_EQ(test::ReadFile(Work("ae.sas")), "data _null_; run;\r\n");
    EXPECT_EQ(test::ReadFile(Work("my.cfg")), "-encoding utf-8\r\n");
}

}  // namespace

#endif
