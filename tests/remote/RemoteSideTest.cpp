// `tamberlo remote-side` driven over pipes as ssh would drive it, with the
// stand-in as its SAS: its answers equal what the same run made locally
// writes, parameters and sent files arrive exactly, what it must refuse it
// refuses with a text that says why, and when the other side goes SAS is
// stopped and nothing is left in the temporary folder.

#include "ChildProcess.h"
#include "CommandTest.h"
#include "ProcessProbe.h"
#include "TestSupport.h"
#include "remote/PipeSource.h"
#include "remote/wire/FrameReader.h"
#include "remote/wire/Greeting.h"
#include "remote/wire/Payloads.h"
#include "remote/wire/WireError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstring>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tamberlo;
using remote::MessageKind;
using testing::HasSubstr;

namespace {

std::string Frame(MessageKind kind, const std::string& payload = {}) {
    return std::string(remote::KindName(kind)) + " " + std::to_string(payload.size()) + "\n" + payload;
}

std::string Options(const std::vector<std::string>& arguments) {
    std::string frames;
    for (const std::string& argument : arguments) frames += Frame(MessageKind::Option, argument);
    return frames;
}

std::string SentFile(const std::string& path, const std::string& bytes) {
    return Frame(MessageKind::File, remote::EncodeSentFile({path, 0644, bytes}));
}

// What came back: the greeting's protocol, then every frame in order.
struct Answer {
    int protocol = 0;
    std::vector<remote::Frame> frames;
    std::string error;  // the reader's, should the bytes break the protocol

    // The payloads of every frame of `kind`, joined.
    std::string Of(MessageKind kind) const {
        std::string joined;
        for (const remote::Frame& frame : frames) {
            if (frame.kind == kind) joined += frame.payload;
        }
        return joined;
    }
    std::vector<std::string> Kinds() const {
        std::vector<std::string> kinds;
        for (const remote::Frame& frame : frames) kinds.emplace_back(remote::KindName(frame.kind));
        return kinds;
    }
};

// `tamberlo remote-side --protocol N` with its standard input and output
// on FIFOs that this side holds, as ssh holds its pipes: its input ends
// only when Close is called.
class RemoteSideProcess {
public:
    RemoteSideProcess(const std::string& folder, int protocol, std::vector<std::string> wrapper = {},
                      std::vector<std::pair<std::string, std::string>> environment = {})
        : toChild_(folder + "to-child"), fromChild_(folder + "from-child") {
        ::mkfifo(toChild_.c_str(), 0600);
        ::mkfifo(fromChild_.c_str(), 0600);
        // Opened first, so that the child's own opens do not wait: a FIFO
        // opened for both reads and writes, and one for reading at once.
        in_ = ::open(toChild_.c_str(), O_RDWR | O_CLOEXEC);
        out_ = ::open(fromChild_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ::fcntl(out_, F_SETFL, 0);
        test::ChildLaunch launch;
        launch.arguments = std::move(wrapper);
        launch.arguments.insert(launch.arguments.end(), {test::CommandTest::CommandPath(), "remote-side", "--protocol",
                                                         std::to_string(protocol)});
        launch.input = toChild_;
        launch.output = fromChild_;
        launch.error = folder + "stderr";
        launch.environment = std::move(environment);
        child_ = std::make_unique<test::ChildProcess>(launch);
    }
    ~RemoteSideProcess() {
        Close();
        if (out_ >= 0) ::close(out_);
    }

    void Send(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t written = ::write(in_, bytes.data() + at, bytes.size() - at);
            if (written < 0 && errno == EINTR) continue;
            ASSERT_GT(written, 0) << std::strerror(errno);
            at += static_cast<std::size_t>(written);
        }
    }
    // The greeting and frames up to END, ERROR or the end of the output.
    Answer Receive() {
        Answer answer;
        remote::PipeSource source(out_);
        remote::BufferedInput input(source);
        try {
            const remote::GreetingSearch greeting = remote::AwaitGreeting(input);
            answer.protocol = greeting.protocol;
            remote::FrameReader reader(input);
            while (std::optional<remote::Frame> frame = reader.Next()) {
                answer.frames.push_back(std::move(*frame));
                if (frame->kind == MessageKind::End || frame->kind == MessageKind::Error) break;
            }
        } catch (const remote::WireError& error) {
            answer.error = error.what();
        }
        return answer;
    }
    // Ends the child's input: the other side is gone.
    void Close() {
        if (in_ >= 0) ::close(in_);
        in_ = -1;
    }
    void CloseOutput() {
        ::close(out_);
        out_ = -1;
    }
    test::ChildProcess& Child() { return *child_; }

private:
    std::string toChild_;
    std::string fromChild_;
    int in_ = -1;
    int out_ = -1;
    std::unique_ptr<test::ChildProcess> child_;
};

class RemoteSide : public test::CommandTest {
protected:
    // The request of one run: the stand-in as SAS, `options`, `files`, the program.
    std::string Request(const std::vector<std::string>& options, const std::string& program,
                        const std::string& files = {}) const {
        std::vector<std::string> all{"--sas-root", StandInRoot()};
        all.insert(all.end(), options.begin(), options.end());
        return Options(all) + files + Frame(MessageKind::Program, program) + Frame(MessageKind::Run);
    }

    // One whole exchange: the request, the answer, the exit status.
    std::pair<Answer, int> Exchange(const std::string& request, int protocol = 1,
                                    std::vector<std::pair<std::string, std::string>> environment = {}) {
        RemoteSideProcess remote(MakeFolder("pipes" + std::to_string(++exchanges_)), protocol, {},
                                 std::move(environment));
        remote.Send(request);
        Answer answer = remote.Receive();
        remote.Close();
        const test::ChildResult ended = remote.Child().Wait();
        EXPECT_FALSE(ended.leftProcesses);
        return {std::move(answer), ended.exitCode};
    }

private:
    int exchanges_ = 0;
};

// The put files' temporary names and the times SAS took differ from run to run.
std::string WithoutRunDetails(const std::string& log) {
    static const std::regex name("tmpPutFile_PUT([0-9]+)_[0-9]+_[0-9]+\\.put");
    static const std::regex time("[0-9]+\\.[0-9]+ seconds");
    return std::regex_replace(std::regex_replace(log, name, "tmpPutFile_PUT$1.put"), time, "N seconds");
}

}  // namespace

TEST_F(RemoteSide, AnswersWhatTheSameRunMadeHereWrites) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string program;
    } cases[] = {
        {"listing and put files",
         {},
         "data _null_; file print; put 'hello'; file _put1; put 'one'; file _put12; put 'twelve'; run;\n"},
        {"an error line", {}, "data _null_; put 'x' run;\n"},
        {"warnings and the log followed", {"--follow"}, "%put WARNING: careful;\n%put done;\n"},
        {"abort return", {}, "data _null_; abort return 7; run;\n"},
        {"control characters as written",
         {"--sysparm", "a\x01\x7f"},
         "data _null_; file print; put \"&sysparm\"; run;\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string put = MakeFolder(std::string("put-") + std::to_string(&c - cases));
        std::vector<std::string> local{"--raw",         "--log",  Work("run.log"), "--lst",
                                       Work("run.lst"), "--json", "--put-dir",     put};
        local.insert(local.end(), c.options.begin(), c.options.end());
        local.insert(local.end(), {"-e", c.program.substr(0, c.program.size() - 1)});
        const test::ToolResult here = Run(local);
        const auto [answer, status] = Exchange(Request(c.options, c.program));

        ASSERT_EQ(answer.error, "");
        EXPECT_EQ(status, 0) << answer.Of(MessageKind::Error);
        EXPECT_EQ(WithoutRunDetails(answer.Of(MessageKind::Log)), WithoutRunDetails(test::ReadFile(Work("run.log"))));
        EXPECT_EQ(answer.Of(MessageKind::Listing), test::ReadFile(Work("run.lst")));
        std::map<std::string, std::string> sent;
        for (const remote::Frame& frame : answer.frames) {
            if (frame.kind != MessageKind::PutFile) continue;
            remote::PutFile file = remote::DecodePutFile(frame.payload);
            sent["_PUT" + std::to_string(file.number) + ".txt"] = file.bytes;
        }
        std::map<std::string, std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(put))
            written[entry.path().filename().string()] = test::ReadFile(entry.path().string());
        EXPECT_EQ(sent, written);
        const nlohmann::json json = nlohmann::json::parse(here.out);
        EXPECT_EQ(answer.Of(MessageKind::ExitCode), json["sasExitCode"].dump()) << here.err;
        EXPECT_EQ(answer.Of(MessageKind::Encoding), json["encoding"]);
        EXPECT_EQ(answer.Of(MessageKind::Status), "");
        EXPECT_EQ(answer.Kinds().back(), "END");
        const bool follows = !c.options.empty() && c.options[0] == "--follow";
        EXPECT_EQ(answer.Of(MessageKind::LogPart), follows ? answer.Of(MessageKind::Log) : "");
    }
}

// Every quoting hazard of a shell, of the Windows rules and of SAS's macro
// language reaches the program as it was given: values travel in frames.
TEST_F(RemoteSide, ParametersArriveExactly) {
    const std::vector<std::string> hazards = {
        "plain", "two  blanks ", " lead",          "say \"hi\"", "it's", "$(touch x)", "`id`",    "a;b",
        "&x.%y", "%put no;",     "'; rm -rf ~; '", "--follow",   "",     "\t",         "50% off", R"(\\"\\)"};
    for (const std::string& value : hazards) {
        SCOPED_TRACE("[" + value + "]");
        const auto [answer, status] =
            Exchange(Request({"--sysparm", value, "--set", "V=" + value, "--let", "v=" + value},
                             "%put [&sysparm]; %put [%sysget(V)]; %put [&v];\ndata _null_; put \"[&v]\"; run;\n"));
        ASSERT_EQ(status, 0) << answer.Of(MessageKind::Error);
        EXPECT_EQ(test::Occurrences(answer.Of(MessageKind::Log), "\r\n[" + value + "]\r\n"), 4)
            << answer.Of(MessageKind::Log);
    }
}

TEST_F(RemoteSide, SentFilesAreTheProgramsAndGoWithTheRun) {
    const std::string files = SentFile("study/main.sas", "%put never run;\n") +
                              SentFile("study/lib/deep/inc.sas", "%put [included];\n") +
                              SentFile("data/in.csv", std::string("a,b\0\r\n", 6));
    const auto [answer, status] =
        Exchange(Request({"--program-file", "study/main.sas"},
                         "%include \"&_SASPROGRAMDIR/lib/deep/inc.sas\";\n%put [&_SASPROGRAMFILE];\n"
                         "%put [&TAMBERLO_SENT];\n",
                         files));
    ASSERT_EQ(status, 0) << answer.Of(MessageKind::Error);
    const std::string log = answer.Of(MessageKind::Log);
    EXPECT_THAT(log, HasSubstr("\r\n[included]\r\n"));
    std::smatch file;
    std::smatch sent;
    ASSERT_TRUE(std::regex_search(log, file, std::regex("\r\n\\[(/[^\r\n]*)/study/main\\.sas\\]\r\n"))) << log;
    ASSERT_TRUE(std::regex_search(log, sent, std::regex("\r\n\\[(/[^\r\n]*/tmpSAS_[^\r\n/]*)\\]\r\n"))) << log;
    EXPECT_EQ(file[1].str(), sent[1].str());
    EXPECT_EQ(sent[1].str().rfind(Temp(), 0), 0u) << "the sent folder is in the temporary folder";
    // Gone with the run: RunFolderTest finds the temporary folder empty.
}

TEST_F(RemoteSide, RefusesWhatItCannotServe) {
    const std::string link = Work("elsewhere");
    const std::string nowhere = Work("nowhere/");
    const struct {
        const char* name;
        std::string request;
        std::string error;
        int status;
        std::string temporaryFolder = {};
    } cases[] = {
        {"a name with ..", SentFile("a/../../x", "x") + Frame(MessageKind::Program),
         "the file name \"a/../../x\" is refused: it leads out of the run's folder (..)", 3},
        {"an absolute name", SentFile("/tmp/x", "x"), "the file name \"/tmp/x\" is refused: it is absolute", 3},
        {"an empty name", SentFile("", "x"), "FILE frame names no file", 3},
        {"an empty part", SentFile("a//b", "x"), "the file name \"a//b\" is refused: it has an empty or . part", 3},
        {"through a file sent before", SentFile("a", "x") + SentFile("a/b", "y"),
         "the file name \"a/b\" is refused: it passes through a file or link", 3},
        {"sent twice", SentFile("a", "x") + SentFile("a", "y"), "the file \"a\" was sent twice, or as a folder too", 3},
        {"an answer's frame", Frame(MessageKind::Log, "x"),
         "a LOG frame came where OPTION, FILE or PROGRAM was expected", 3},
        {"RUN before PROGRAM", Frame(MessageKind::Run), "a RUN frame came where OPTION, FILE or PROGRAM was expected",
         3},
        {"two programs", Frame(MessageKind::Program) + Frame(MessageKind::Program),
         "a PROGRAM frame came where RUN was expected", 3},
        {"an unknown kind", "BOGUS 0\n", "frame kind \"BOGUS\" is unknown", 3},
        {"a bad length", "OPTION 1x\n",
         "frame header \"OPTION 1x\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)", 3},
        {"an output of a single run", Options({"--log", link}) + Frame(MessageKind::Program) + Frame(MessageKind::Run),
         "the remote run's options: The following arguments were not expected: " + link + " --log", 64},
        {"a program file", Options({"prog.sas"}) + Frame(MessageKind::Program) + Frame(MessageKind::Run),
         "the remote run's options: The following argument was not expected: prog.sas", 64},
        {"a bad value", Options({"--timeout", "soon"}) + Frame(MessageKind::Program) + Frame(MessageKind::Run),
         "--timeout soon: expected a positive number of seconds", 64},
        {"a NUL in an option",
         Options({"--let", std::string("v=a\0b", 5)}) + Frame(MessageKind::Program) + Frame(MessageKind::Run),
         "the remote run's options: \"v=a\\x00b\" holds a NUL byte", 64},
        {"a value SAS cannot be given",
         Options({"--let", "v=a\nb"}) + Frame(MessageKind::Program, "%put x;") + Frame(MessageKind::Run),
         "--let v: it holds a line break", 64},
        {"no temporary folder", SentFile("a", "x"), "the temporary folder " + nowhere + ": No such file or directory",
         74, nowhere},
        {"a program file not sent",
         Options({"--program-file", "main.sas"}) + Frame(MessageKind::Program) + Frame(MessageKind::Run),
         "--program-file main.sas: names no file sent with the run and is not absolute", 64},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [answer, status] =
            c.temporaryFolder.empty() ? Exchange(c.request) : Exchange(c.request, 1, {{"TMPDIR", c.temporaryFolder}});
        EXPECT_EQ(answer.Kinds(), std::vector<std::string>{"ERROR"});
        EXPECT_EQ(answer.Of(MessageKind::Error), c.error);
        EXPECT_EQ(status, c.status);
    }
    EXPECT_FALSE(std::filesystem::exists(link));
}

TEST_F(RemoteSide, AProtocolItDoesNotSpeakIsRefusedNamingBoth) {
    const auto [answer, status] = Exchange(Request({}, "%put x;\n"), 2);
    EXPECT_EQ(answer.protocol, 1);
    EXPECT_EQ(answer.Kinds(), std::vector<std::string>{"ERROR"});
    EXPECT_EQ(answer.Of(MessageKind::Error), "protocol 2 asked; tamberlo 1.0.0 speaks protocol 1");
    EXPECT_EQ(status, 3);
}

// However the other side goes while SAS runs, SAS's processes end and the
// run's folders go within 5 seconds: the session's processes and the
// temporary folder are looked at until they are empty, for that long.
TEST_F(RemoteSide, WhenTheOtherSideGoesSASIsStoppedAndNothingIsLeft) {
    enum class Way { CloseInput, Stop, CloseOutput, ParentKilled };
    const struct {
        const char* name;
        Way way;
    } cases[] = {{"input closed", Way::CloseInput},
                 {"STOP", Way::Stop},
                 {"output closed while following", Way::CloseOutput},
                 {"parent killed", Way::ParentKilled}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = MakeFolder(std::string("gone-") + std::to_string(&c - cases));
        std::vector<std::string> wrapper;
        // A shell that starts the remote side and waits: killing it leaves
        // the remote side's input open, so that only its parent's end can stop it.
        // (dash gives a command put in the background /dev/null as its
        // input before its redirections: the input goes by descriptor 3).
        if (c.way == Way::ParentKilled) wrapper = {"/bin/sh", "-c", "exec 3<&0; \"$@\" <&3 3<&- & wait", "sh"};
        RemoteSideProcess remote(folder, 1, wrapper);
        remote.Send(Request({"--follow"}, "%put started;\ndata _null_; call sleep(600); run;\n"));
        const auto sasRuns = [&remote] {
            for (const unsigned long pid : remote.Child().LeftInSession()) {
                if (test::ReadFile("/proc/" + std::to_string(pid) + "/comm") == "sas\n") return true;
            }
            return false;
        };
        for (int i = 0; i < 600 && !sasRuns(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_TRUE(sasRuns());
        switch (c.way) {
        case Way::CloseInput: remote.Close(); break;
        case Way::Stop: remote.Send(Frame(MessageKind::Stop)); break;
        case Way::CloseOutput: remote.CloseOutput(); break;
        case Way::ParentKilled: remote.Child().Kill(); break;
        }
        for (int i = 0; i < 100 && !remote.Child().LeftInSession().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // Asserted: a remote side that did not notice would be waited for
        // as long as SAS sleeps; the process's owner kills it instead.
        ASSERT_THAT(remote.Child().LeftInSession(), testing::IsEmpty());
        for (int i = 0; i < 100 && !test::ListFolder(Temp()).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_THAT(test::ListFolder(Temp()), testing::IsEmpty());
        const test::ChildResult ended = remote.Child().Wait();
        if (c.way != Way::ParentKilled) {
            EXPECT_EQ(ended.exitCode, 130);
        }
    }
}

// A run that did not go through answers with what a single run shows after
// "tamberlo: ", and what SAS had written by then.
TEST_F(RemoteSide, AnswersWhyTheRunDidNotGoThrough) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        std::string program;
        int status;
    } cases[] = {
        {"the time limit", {"--timeout", "0.5"}, "%put started;\ndata _null_; call sleep(600); run;\n", 4},
        {"an empty program", {}, "", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> local{"--raw", "--log", Work("run.log")};
        local.insert(local.end(), c.options.begin(), c.options.end());
        local.insert(local.end(), {"-e", c.program});
        const test::ToolResult here = Run(local);
        const auto [answer, status] = Exchange(Request(c.options, c.program));
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(here.exitCode, c.status);
        ASSERT_EQ(answer.Kinds().back(), "END");
        EXPECT_NE(answer.Of(MessageKind::Status), "");
        EXPECT_THAT(here.err, HasSubstr("tamberlo: " + answer.Of(MessageKind::Status) + "\n"));
        EXPECT_EQ(WithoutRunDetails(answer.Of(MessageKind::Log)), WithoutRunDetails(test::ReadFile(Work("run.log"))));
        EXPECT_EQ(answer.Of(MessageKind::ExitCode), "");
    }
}
