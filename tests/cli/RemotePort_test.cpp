// zephra-cli on a port served over the network: a real ser2net on 127.0.0.1 serves the
// simulator's pseudo-terminal under COM2, and the program must behave there as on COM1; and
// port map entries that cannot name a server.
#include "tests/cli/CliRun.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Ser2netServer.h"
#include "tests/support/SimulatorFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace {

class RemotePort : public SimulatorFixture, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        if (!Ser2netServer::installed())
            GTEST_SKIP() << "ser2net is not installed (bash scripts/deps installs it)";
        SimulatorFixture::SetUp();
        m_server = std::make_unique<Ser2netServer>(portDirectory(), port().slavePath(), "9600n81");
        std::ofstream(portDirectory() + "/COM2") << m_server->url() << "\n";
    }

    // COM2 through the server, or COM1 directly.
    std::string name() const { return GetParam() ? "COM2" : "COM1"; }

    std::unique_ptr<Ser2netServer> m_server;
};

TEST_P(RemotePort, ReadAndWriteGiveWhatTheyGiveOnALocalPort)
{
    // 0xFF travels both ways: in the replies that read it and in the command that writes it.
    module().setSetting(7, 0xFF);
    const CliRun read = cli({"read", name()});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, "firmware=ZEPHRA24 V1.0A\nbaud=9600\nmode=auto\nrate=1M\npower=0\n"
                        "channel=0\nrx-id=00\ntx-id=FF\n");
    const CliRun write = cli({"write", name(), "rx-id=ff", "channel=9"});
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(module().setting(5), 0xFF);
    EXPECT_EQ(module().setting(4), 9);
    EXPECT_EQ(port().slaveBitsPerSecond(), 9600);
}

INSTANTIATE_TEST_SUITE_P(, RemotePort, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "Remote" : "Local"; });

using RemoteFaults = RemotePort;

TEST_P(RemoteFaults, AServerThatGoesFailsTheRunWith31AtOnce)
{
    module().setFaults({.replyDelay = std::chrono::milliseconds(400)});
    ChildProcess run(ZEPHRA_CLI_PROGRAM, {"read", name()});
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    m_server->killNow();
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_EQ(run.finish(), 2);
    // Generous: the bound is not what is checked here, only that nothing waits for a
    // time-out of its own.
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(5));
    EXPECT_NE(run.err.find("win error code: 31"), std::string::npos) << run.err;
}

TEST_P(RemoteFaults, AClosedPortFailsWith2AndNamesTheServer)
{
    m_server->kill();
    const CliRun run = cli({"read", name()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("win error code: 2"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("127.0.0.1 port " + std::to_string(m_server->port())), std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(, RemoteFaults, ::testing::Values(true),
                         [](const auto &) { return "Remote"; });

using BadRemoteEntry = SimulatorFixture;

// Each entry that cannot name a server says what is wrong and where, to a command (status 1
// when no retry can mend it, 2 when the network may) and in the port list.
TEST_F(BadRemoteEntry, SaysWhatIsWrongAndWhere)
{
    const struct
    {
        const char *entry, *fault, *listed, *code;
        int status;
    } rows[] = {
        {"rfc2217://", "which names no host", "COM5 names no host", "123", 1},
        {"rfc2217://:4000", "which names no host", "COM5 names no host", "123", 1},
        {"rfc2217://127.0.0.1", "which names no port", "COM5 names no port", "123", 1},
        {"rfc2217://127.0.0.1:70000", "port 70000, outside 1 to 65535", "COM5 names the port 70000",
         "123", 1},
        {"rfc2217://127.0.0.1:0", "port 0, outside 1 to 65535", "COM5 names the port 0", "123", 1},
        {"rfc2217://127.0.0.1:99999999999999999999", "outside 1 to 65535", "outside", "123", 1},
        {"rfc2217://127.0.0.1:7x", "port \"7x\", which is no number", "no number", "123", 1},
        {"telnet://127.0.0.1:4000", "unknown scheme telnet://", "COM5 names the unknown scheme",
         "123", 1},
        {"foo://x", "unknown scheme foo://", "COM5 names the unknown scheme foo://", "123", 1},
        {"rfc2217://no-such-host.invalid:4000", "no-such-host.invalid does not resolve",
         "host name does not resolve", "53", 2},
    };
    const std::string entry = portDirectory() + "/COM5";
    for (const auto &row : rows) {
        std::ofstream(entry) << row.entry << "\n";
        const CliRun run = cli({"read", "COM5"});
        EXPECT_EQ(run.status, row.status) << row.entry;
        EXPECT_NE(run.err.find(std::string("win error code: ") + row.code + ")"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find(row.fault), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(entry), std::string::npos) << run.err;
        const CliRun ports = cli({"ports"});
        EXPECT_NE(ports.out.find(std::string("COM5\t") + row.entry + "\t"), std::string::npos)
            << ports.out;
        EXPECT_NE(ports.out.find(row.listed), std::string::npos) << ports.out;
    }
}

} // namespace
