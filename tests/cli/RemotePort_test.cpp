// zephra-cli on a port served over the network: a real ser2net on 127.0.0.1 serves the
// simulator's pseudo-terminal under COM2, and the program must behave there as on COM1.
#include "tests/support/ChildProcess.h"
#include "tests/support/SimulatorFixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>

namespace {

constexpr const char *kServer = "/usr/sbin/ser2net";

struct CliRun
{
    int status;
    std::string out, err;
};

CliRun cli(std::vector<std::string> args)
{
    ChildProcess process(ZEPHRA_CLI_PROGRAM, std::move(args));
    const int status = process.finish();
    return {status, process.out, process.err};
}

// A port nobody listens on at the moment.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(fd, reinterpret_cast<sockaddr *>(&address), size);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool listening(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(std::uint16_t(port));
    const bool up = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return up;
}

class RemotePort : public SimulatorFixture, public ::testing::WithParamInterface<bool>
{
protected:
    void SetUp() override
    {
        if (access(kServer, X_OK) != 0)
            GTEST_SKIP() << "ser2net is not installed (bash scripts/deps installs it)";
        SimulatorFixture::SetUp();
        m_port = freePort();
        const std::string config = portDirectory() + "/ser2net.yaml";
        std::ofstream(config) << "connection: &remote\n  accepter: telnet(rfc2217),tcp,127.0.0.1,"
                              << m_port << "\n  connector: serialdev," << port().slavePath()
                              << ",9600n81,local\n";
        std::ofstream(portDirectory() + "/COM2") << "rfc2217://127.0.0.1:" << m_port << "\n";
        m_server = std::make_unique<ChildProcess>(
            kServer, std::vector<std::string>{"-n", "-d", "-c", config});
        for (int i = 0; i < 500 && !listening(m_port); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        // The look at the port above was a client too; give the server time to let it go.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    // COM2 through the server, or COM1 directly.
    std::string name() const { return GetParam() ? "COM2" : "COM1"; }

    int m_port = 0;
    std::unique_ptr<ChildProcess> m_server;
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
    m_server->signal(SIGKILL);
    const auto killed = std::chrono::steady_clock::now();
    EXPECT_EQ(run.finish(), 2);
    // Generous: the bound is not what is checked here, only that nothing waits for a
    // time-out of its own.
    EXPECT_LT(std::chrono::steady_clock::now() - killed, std::chrono::seconds(5));
    EXPECT_NE(run.err.find("win error code: 31"), std::string::npos) << run.err;
}

TEST_P(RemoteFaults, AClosedPortFailsWith2AndNamesTheServer)
{
    m_server->signal(SIGKILL);
    m_server->finish();
    const CliRun run = cli({"read", name()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("win error code: 2"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("127.0.0.1 port " + std::to_string(m_port)), std::string::npos)
        << run.err;
}

INSTANTIATE_TEST_SUITE_P(, RemoteFaults, ::testing::Values(true),
                         [](const auto &) { return "Remote"; });

} // namespace
