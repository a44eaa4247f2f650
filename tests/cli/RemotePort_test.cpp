// zephra-cli on a port served over the network: a real ser2net on 127.0.0.1 serves the
// simulator's pseudo-terminal under COM2, and the program must behave there as on COM1.
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
    SimulatorFaults faults;
    faults.replyDelay = std::chrono::milliseconds(400);
    module().setFaults(faults);
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

} // namespace
