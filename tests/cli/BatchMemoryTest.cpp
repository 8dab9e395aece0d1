// What a batch keeps of its programs while they run: a program list of one
// arena that gives back each program as it was added, and outcomes and
// findings on disk that come back whole, from memory where the disk would
// not take them.
#include "CommandTest.h"
#include "TestSupport.h"
#include "cli/batch/BatchProgramList.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace tamberlo;

namespace {

TEST(BatchProgramList, GivesBackEveryProgramAsItWasAdded) {
    const auto rowA = std::make_shared<const RunSettings>(RunSettings{.sysparm = "a"});
    const auto rowB = std::make_shared<const RunSettings>(RunSettings{.sysparm = "b"});
    const std::string longText(70000, 'x');
    const std::vector<cli::BatchProgram> programs = {
        {"a", "progs/a.sas", ""},
        {"b", "progs/b.sas", ""},
        {"sub/c", "progs/sub/c.SAS", ""},
        {"d", "d.sas", ""},
        {"e", "/abs/e.sas", ""},
        {"w", "C:\\progs\\w.sas", ""},
        {"x", "mixed\\sub/x.sas", ""},
        {"gone", "progs/gone.sas", "progs/gone.sas: no such program file"},
        {"sub/", "progs/sub/", "progs/sub: cannot read the folder: Permission denied"},
        {"", "", ""},
        {"a[r1]", "progs/a.sas", "", "r1", "r1/a", rowA},
        {"a[r2]", "progs/a.sas", "", "r2", "r2/a", rowB},
        {"b[r1]", "progs/b.sas", "", "r1", "r1/b", rowA},
        {longText, "progs/" + longText + ".sas", longText, longText, longText},
        {"n\n\x1B\xFF", "progs/n\n\x1B\xFF.sas", ""},
    };
    cli::BatchProgramList list;
    for (const cli::BatchProgram& program : programs) list.Add(program);

    ASSERT_EQ(list.size(), programs.size());
    std::size_t index = 0;
    for (const cli::BatchProgram& program : list) {
        const cli::BatchProgram& added = programs.at(index);
        SCOPED_TRACE(index);
        EXPECT_EQ(program.name, added.name);
        EXPECT_EQ(list.Name(index), added.name);
        EXPECT_EQ(program.path, added.path);
        EXPECT_EQ(program.problem, added.problem);
        EXPECT_EQ(program.row, added.row);
        EXPECT_EQ(program.outputName, added.outputName);
        // A row's parameters are its own, shared by its runs, not copies.
        EXPECT_EQ(program.parameters, added.parameters);
        ++index;
    }
    EXPECT_EQ(index, programs.size());
}

#ifndef _WIN32

class BatchMemory : public test::CommandTest {};

// The size limit of the files this process and its children write, as
// long as the object lives; writing past it fails (EFBIG) instead of
// ending the process, as a full disk fails a write.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        std::signal(SIGXFSZ, previous_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit before_{};
    void (*previous_)(int) = SIG_DFL;
};

// Ten programs with 40 long WARNING lines each keep about 430 KiB of
// findings (each an error by --fail-on), past a limit of 256 KiB: the store takes the first programs'
// and the rest stay in memory. What the batch says of each program is the
// same either way; the store's file is gone at the end.
TEST_F(BatchMemory, AStoreThatCannotBeWrittenLosesNothing) {
    for (int program = 0; program < 10; ++program) {
        std::string text;
        for (int line = 0; line < 40; ++line) {
            text += "%put WARNING: program " + std::to_string(program) + " line " + std::to_string(line) + " " +
                    std::string(1000, static_cast<char>('a' + line % 26)) + ";\r\n";
        }
        WriteWork("progs/p" + std::to_string(program) + ".sas", text);
    }
    const std::vector<std::string> arguments{"-j", "1", "--fail-on", "^WARNING: program", "progs"};
    const test::ToolResult unlimited = Batch(arguments);
    test::ToolResult limited;
    {
        const ScopedFileSizeLimit limit(256 * 1024);
        limited = Batch(arguments);
    }
    // Times aside.
    const auto timeless = [](const std::string& text) {
        return std::regex_replace(text, std::regex("[0-9]+\\.[0-9]+ s"), "T s");
    };
    ASSERT_EQ(unlimited.exitCode, 2) << unlimited.out << unlimited.err;
    EXPECT_EQ(limited.exitCode, unlimited.exitCode) << limited.err;
    EXPECT_EQ(limited.err, "");
    EXPECT_EQ(timeless(limited.out), timeless(unlimited.out));
    EXPECT_NE(limited.out.find("progs/p9.sas:1: WARNING: program 9 line 0 "), std::string::npos) << limited.out;
    for (const std::string& name : test::ListFolder(Temp())) EXPECT_NE(name.rfind("tmpFindings.", 0), 0u) << name;
}

#endif

}  // namespace
