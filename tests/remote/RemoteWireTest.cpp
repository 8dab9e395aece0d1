// The remote run's wire: frames read back as written, and every malformed
// input (cut short, too long, of no known kind, with a bad length) refused
// with a text that says what was wrong; the greeting found past a login
// script's noise; the payloads with parts decoded or refused.

#include "remote/PipeSink.h"
#include "remote/wire/FrameReader.h"
#include "remote/wire/FrameWriter.h"
#include "remote/wire/Greeting.h"
#include "remote/wire/Payloads.h"
#include "remote/wire/Protocol.h"
#include "remote/wire/WireError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <unistd.h>
#endif

using namespace tamberlo::remote;
using testing::HasSubstr;

namespace {

// Bytes in memory, handed out a few at a time, so that lines and payloads
// cross the reader's refills.
class StringSource : public ByteSource {
public:
    explicit StringSource(std::string bytes, std::size_t step = 3) : bytes_(std::move(bytes)), step_(step) {}
    std::size_t Read(char* into, std::size_t size) override {
        const std::size_t taken = std::min({size, step_, bytes_.size() - at_});
        std::memcpy(into, bytes_.data() + at_, taken);
        at_ += taken;
        return taken;
    }

private:
    std::string bytes_;
    std::size_t step_;
    std::size_t at_ = 0;
};

class StringSink : public ByteSink {
public:
    void Write(const char* data, std::size_t size) override { bytes.append(data, size); }
    std::string bytes;
};

class ClosedSink : public ByteSink {
public:
    void Write(const char*, std::size_t) override { throw WireError("could not write the output: Broken pipe"); }
};

// Every frame of `bytes` as "KIND:payload", then "error: TEXT" if reading
// stopped on a WireError.
std::vector<std::string> ReadAll(const std::string& bytes) {
    StringSource source(bytes);
    BufferedInput input(source);
    FrameReader reader(input);
    std::vector<std::string> seen;
    try {
        while (auto frame = reader.Next()) seen.push_back(std::string(KindName(frame->kind)) + ":" + frame->payload);
    } catch (const WireError& error) {
        seen.push_back(std::string("error: ") + error.what());
    }
    return seen;
}

struct FrameCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> seen;
};

}  // namespace

TEST(RemoteWire, ReadsFramesAndRefusesWhatIsMalformed) {
    const std::string big(100000, 'x');
    const FrameCase cases[] = {
        {"nothing", "", {}},
        {"empty payloads", "RUN 0\nEND 0\n", {"RUN:", "END:"}},
        {"payload with NUL and line feeds", std::string("LOG 5\na\0\nb\n", 11), {std::string("LOG:a\0\nb\n", 9)}},
        {"payload across many refills", "LISTING 100000\n" + big + "END 0\n", {"LISTING:" + big, "END:"}},
        {"leading zeros", "OPTION 0003\n--x", {"OPTION:--x"}},
        {"header cut short", "LOG 1", {"error: frame header \"LOG 1\" is cut short by the end of the input"}},
        {"payload cut short",
         "LOG 10\nabc",
         {"error: LOG frame is cut short: 3 of its 10 bytes came before the end of the input"}},
        {"oversized",
         "LOG 1073741825\n",
         {"error: LOG frame of 1073741825 bytes is longer than a frame may be (1073741824 bytes)"}},
        {"at the most",
         "LOG 1073741824\n",
         {"error: LOG frame is cut short: 0 of its 1073741824 bytes came before the end of the input"}},
        {"unknown kind", "FOO 0\n", {"error: frame kind \"FOO\" is unknown"}},
        {"lower-case kind",
         "log 0\n",
         {"error: frame header \"log 0\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"kind too long",
         "ABCDEFGHIJKLMNOPQ 0\n",
         {"error: frame header \"ABCDEFGHIJKLMNOPQ 0\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"negative length",
         "LOG -1\n",
         {"error: frame header \"LOG -1\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"no length",
         "LOG\n",
         {"error: frame header \"LOG\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"two spaces",
         "LOG  1\n",
         {"error: frame header \"LOG  1\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"CR before the line feed",
         "LOG 1\r\nx",
         {"error: frame header \"LOG 1\\x0D\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"eleven digits",
         "LOG 00000000001\n",
         {"error: frame header \"LOG 00000000001\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"no line end",
         std::string(40, 'A'),
         {"error: frame header \"" + std::string(28, 'A') + "\" has no line end within 28 bytes"}},
        {"binary noise",
         std::string("\xff\x01 9\n", 5),
         {"error: frame header \"\\xFF\\x01 9\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
        {"good then bad",
         "RUN 0\nSTOP x\n",
         {"RUN:",
          "error: frame header \"STOP x\" is not KIND LENGTH (KIND 1 to 16 of A-Z and _, LENGTH decimal digits)"}},
    };
    for (const FrameCase& c : cases) EXPECT_EQ(ReadAll(c.bytes), c.seen) << c.name;
}

TEST(RemoteWire, WritesWhatTheReaderReads) {
    StringSink sink;
    FrameWriter writer(sink);
    const std::string large(200000, 'y');
    writer.SendRaw(GreetingLine(ProtocolVersion, "1.0.0"));
    writer.Send(MessageKind::Option, "--let");
    writer.Send(MessageKind::Program, large);
    writer.Send(MessageKind::End);
    EXPECT_EQ(sink.bytes.substr(0, 53), "TAMBERLO-REMOTE 1 1.0.0\nOPTION 5\n--letPROGRAM 200000\n");
    StringSource source(sink.bytes, 4096);
    BufferedInput input(source);
    ASSERT_TRUE(AwaitGreeting(input).found);
    FrameReader reader(input);
    std::vector<std::string> seen;
    while (auto frame = reader.Next()) seen.push_back(std::string(KindName(frame->kind)) + ":" + frame->payload);
    EXPECT_EQ(seen, (std::vector<std::string>{"OPTION:--let", "PROGRAM:" + large, "END:"}));

    ClosedSink closed;
    FrameWriter failing(closed);
    EXPECT_THROW(failing.Send(MessageKind::Run), WireError);
    try {
        failing.Send(MessageKind::Run);
        ADD_FAILURE() << "a writer that failed wrote on";
    } catch (const WireError& error) {
        EXPECT_STREQ(error.what(), "the output was closed by an earlier failure");
    }
}

TEST(RemoteWire, FindsTheGreetingPastNoise) {
    struct Case {
        const char* name;
        std::string bytes;
        bool found;
        int protocol;
        std::string version;
        std::string noise;
        std::string error;
    };
    const std::string noise64k(MaxGreetingNoise - 1, 'n');
    const Case cases[] = {
        {"at once", "TAMBERLO-REMOTE 1 1.0.0\nRUN 0\n", true, 1, "1.0.0", "", ""},
        {"after a login script", "Welcome\r\nlast login\nTAMBERLO-REMOTE 7 2.3\n", true, 7, "2.3",
         "Welcome\r\nlast login\n", ""},
        {"after 64 KiB of noise", noise64k + "\nTAMBERLO-REMOTE 1 1.0.0\n", true, 1, "1.0.0", noise64k + "\n", ""},
        {"nothing", "", false, 0, "", "", ""},
        {"no tamberlo", "sh: 1: tamberlo: not found\n", false, 0, "", "sh: 1: tamberlo: not found\n", ""},
        {"a last line without its end", "usage: tamberlo", false, 0, "", "usage: tamberlo", ""},
        {"too much noise", std::string(MaxGreetingNoise + 10, 'n'), false, 0, "", "",
         "no greeting from the remote side within the first 65536 bytes of its output; it began \"" +
             std::string(64, 'n') + "...\""},
        {"no version", "TAMBERLO-REMOTE 1\n", false, 0, "", "",
         "the remote side's greeting is malformed: \"TAMBERLO-REMOTE 1\\x0A\""},
        {"letters for the protocol", "TAMBERLO-REMOTE one 1.0\n", false, 0, "", "",
         "the remote side's greeting is malformed: \"TAMBERLO-REMOTE one 1.0\\x0A\""},
        {"cut short", "TAMBERLO-REMOTE 1 1.0", false, 0, "", "",
         "the remote side's greeting is malformed: \"TAMBERLO-REMOTE 1 1.0\""},
    };
    for (const Case& c : cases) {
        StringSource source(c.bytes, 1000);
        BufferedInput input(source);
        try {
            const GreetingSearch search = AwaitGreeting(input);
            EXPECT_EQ(c.error, "") << c.name;
            EXPECT_EQ(search.found, c.found) << c.name;
            EXPECT_EQ(search.protocol, c.protocol) << c.name;
            EXPECT_EQ(search.version, c.version) << c.name;
            EXPECT_EQ(search.noise, c.noise) << c.name;
        } catch (const WireError& error) {
            EXPECT_EQ(error.what(), c.error) << c.name;
        }
    }
}

TEST(RemoteWire, DecodesPayloadsWithParts) {
    const std::string bytes("a\0b\n", 4);
    const SentFile sent = DecodeSentFile(EncodeSentFile({"data/in.csv", 0755, bytes}));
    EXPECT_EQ(sent.path, "data/in.csv");
    EXPECT_EQ(sent.mode, 0755u);
    EXPECT_EQ(sent.bytes, bytes);
    const PutFile put = DecodePutFile(EncodePutFile({12, bytes}));
    EXPECT_EQ(put.number, 12);
    EXPECT_EQ(put.bytes, bytes);

    struct Case {
        bool file;
        std::string payload;
        std::string error;
    };
    const Case refused[] = {
        {true, "", "FILE frame has no NUL after its path: \"\""},
        {true, std::string("a\0", 2) + "644", "FILE frame has no NUL after its mode: \"644\""},
        {true,
         std::string("\0"
                     "644\0",
                     5),
         "FILE frame names no file"},
        {true,
         std::string("a\0"
                     "9\0",
                     4),
         "FILE frame's mode \"9\" is not 1 to 4 octal digits"},
        {true,
         std::string("a\0"
                     "10644\0",
                     8),
         "FILE frame's mode \"10644\" is not 1 to 4 octal digits"},
        {true, std::string("a\0\0", 3), "FILE frame's mode \"\" is not 1 to 4 octal digits"},
        {false, "1", "PUTFILE frame has no NUL after its number: \"1\""},
        {false, std::string("0\0", 2), "PUTFILE frame's number \"0\" is not 1 to 999999999"},
        {false, std::string("-1\0", 3), "PUTFILE frame's number \"-1\" is not 1 to 999999999"},
        {false, std::string("1234567890\0", 11), "PUTFILE frame's number \"1234567890\" is not 1 to 999999999"},
    };
    for (const Case& c : refused) {
        try {
            if (c.file) {
                DecodeSentFile(c.payload);
            } else {
                DecodePutFile(c.payload);
            }
            ADD_FAILURE() << "accepted: " << c.error;
        } catch (const WireError& error) {
            EXPECT_EQ(error.what(), c.error);
        }
    }
}

#ifndef _WIN32
TEST(RemoteWire, AClosedPipeIsAnErrorNotASignal) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    PipeSink sink(ends[1]);
    try {
        sink.Write("x", 1);
        ADD_FAILURE() << "a write to a closed pipe succeeded";
    } catch (const WireError& error) {
        EXPECT_EQ(std::string(error.what()), std::string("could not write the output: ") + std::strerror(EPIPE));
    }
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGPIPE), 0);
    ::close(ends[1]);
}
#endif
