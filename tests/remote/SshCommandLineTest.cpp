#include "remote/RemoteAddress.h"
#include "remote/SshCommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamberlo::remote {
namespace {

TEST(RemoteAddress, TakesUserHostAndPortApart) {
    const struct {
        const char* text;
        RemoteAddress expected;
    } rows[] = {
        {"sas01", {"", "sas01", std::nullopt}},
        {"ana@sas01.example.org", {"ana", "sas01.example.org", std::nullopt}},
        {"ana@sas01:2222", {"ana", "sas01", 2222}},
        {"127.0.0.2:65535", {"", "127.0.0.2", 65535}},
        {"[::1]", {"", "::1", std::nullopt}},
        {"ana@[fe80::1%eth0]:22", {"ana", "fe80::1%eth0", 22}},
    };
    for (const auto& row : rows) EXPECT_EQ(RemoteAddress::Parse(row.text), row.expected) << row.text;
}

TEST(RemoteAddress, RefusesWhatSshWouldMisread) {
    const struct {
        const char* text;
        const char* why;
    } rows[] = {
        {"", "no host"},
        {"ana@", "no host"},
        {"@sas01", "no user"},
        {"sas01:", "the port is not a number from 1 to 65535"},
        {"sas01:0", "the port is not a number from 1 to 65535"},
        {"sas01:65536", "the port is not a number from 1 to 65535"},
        {"sas01:22x", "the port is not a number from 1 to 65535"},
        {"::1", "an IPv6 address goes in brackets: [ADDRESS]:PORT"},
        {"[::1", "the [ of an address is not closed"},
        {"[::1]22", "text after the ] of an address"},
        {"-oProxyCommand=x", "the host starts with -"},
        {"-x@sas01", "the user starts with -"},
        {"sas 01", "the host holds a space or a control character"},
        {"sas01\n", "the host holds a space or a control character"},
        {"a@b@sas01", "the user holds a second @"},
    };
    for (const auto& row : rows) {
        try {
            RemoteAddress::Parse(row.text);
            ADD_FAILURE() << "taken: " << row.text;
        } catch (const std::invalid_argument& refused) {
            EXPECT_STREQ(refused.what(), row.why) << row.text;
        }
    }
}

TEST(SshCommandLine, NeverPromptsAndQuotesTheRemoteCommand) {
    SshSettings settings;
    settings.address = RemoteAddress::Parse("ana@[::1]:2222");
    settings.connectTimeoutSeconds = 7;
    settings.options = {"IdentityFile=/k ey", "ServerAliveInterval=1"};
    settings.remoteCommand = "/opt/it's/tamberlo";
    EXPECT_EQ(SshArguments(settings, {"remote-side", "--protocol", "1"}),
              (std::vector<std::string>{"ssh", "-T", "-o", "BatchMode=yes", "-o", "ConnectTimeout=7", "-o",
                                        "IdentityFile=/k ey", "-o", "ServerAliveInterval=1", "-o",
                                        "ServerAliveInterval=5", "-o", "ServerAliveCountMax=3", "-p", "2222", "ana@::1",
                                        "--", "'/opt/it'\\''s/tamberlo' remote-side --protocol 1"}));
    settings.controlPath = "/tmp/run/cm";
    settings.address = RemoteAddress::Parse("sas01");
    EXPECT_EQ(SshArguments(settings, {}), (std::vector<std::string>{"ssh",
                                                                    "-T",
                                                                    "-o",
                                                                    "BatchMode=yes",
                                                                    "-o",
                                                                    "ConnectTimeout=7",
                                                                    "-o",
                                                                    "IdentityFile=/k ey",
                                                                    "-o",
                                                                    "ServerAliveInterval=1",
                                                                    "-o",
                                                                    "ServerAliveInterval=5",
                                                                    "-o",
                                                                    "ServerAliveCountMax=3",
                                                                    "-o",
                                                                    "ControlMaster=auto",
                                                                    "-o",
                                                                    "ControlPath=/tmp/run/cm",
                                                                    "-o",
                                                                    "ControlPersist=yes",
                                                                    "sas01",
                                                                    "--",
                                                                    "'/opt/it'\\''s/tamberlo'"}));
    EXPECT_EQ(SshMasterExitArguments(settings),
              (std::vector<std::string>{"ssh", "-o", "BatchMode=yes", "-o", "ControlPath=/tmp/run/cm", "-O", "exit",
                                        "sas01"}));
    EXPECT_THROW(SshArguments(settings, {"a;b"}), std::invalid_argument);
}

TEST(SshCommandLine, TakesOnlyOneOptionPerValue) {
    for (const char* good : {"Port=2222", "IdentityFile ~/.ssh/ci", "ProxyJump=bastion"}) {
        EXPECT_NO_THROW(CheckSshOption(good)) << good;
    }
    for (const char* bad : {"", "=x", "Port", "-p 22", "Port=22\nHost *", "Pro-xy=1"}) {
        EXPECT_THROW(CheckSshOption(bad), std::invalid_argument) << bad;
    }
}

}  // namespace
}  // namespace tamberlo::remote
