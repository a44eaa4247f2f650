// The simulated air: how a module's line takes bytes in and cuts them into packets, what a
// receiver at the wrong speed reads, and which packets reach which module.
#include "link/ModuleModel.h"
#include "simulator/LineGarble.h"
#include "simulator/RadioAir.h"
#include "simulator/SimulatorPort.h"
#include "tests/simulator/SlaveLine.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <termios.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string text = "The quick brown fox jumps over the lazy dog 0123456789";

TEST(LineGarble, OnlyEqualSpeedsKeepTheBytes)
{
    EXPECT_EQ(garbleLine(text, 9600, 9600), text);
    for (const auto &[sender, receiver] :
         {std::pair{9600, 19200}, {19200, 9600}, {9600, 4800}, {2400, 1200}, {9600, 9000}}) {
        const std::string got = garbleLine(text, sender, receiver);
        EXPECT_NE(got, text) << sender << " -> " << receiver;
        EXPECT_EQ(got, garbleLine(text, sender, receiver)); // the same garbage every time
    }
    // A receiver twice as fast sees each byte's bits stretched: more starts than bytes.
    EXPECT_GT(garbleLine(text, 9600, 19200).size(), text.size());
    EXPECT_TRUE(garbleLine(text, 0, 9600).empty());
    // Within a UART's tolerance (under 2 %) nothing is lost.
    EXPECT_EQ(garbleLine(text, 9600, 9700), text);
}

TEST(PacketGatherer, CutsAtThirtyTwoBytesAndAtAQuietLine)
{
    PacketGatherer gatherer;
    const Clock::time_point t0{};
    const auto byteTime = 10'000'000'000ns / 9600;
    gatherer.add(std::string(70, 'a'), t0, 9600);
    // Bytes cross the line one by one: nothing is complete before the 32nd is in.
    EXPECT_TRUE(gatherer.take(t0 + 31 * byteTime).empty());
    EXPECT_EQ(gatherer.nextDue(), t0 + 32 * byteTime);
    auto packets = gatherer.take(t0 + 64 * byteTime);
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1].ready, t0 + 64 * byteTime);
    // The last six wait for two quiet byte times, unless more arrive in between.
    EXPECT_TRUE(gatherer.take(t0 + 71 * byteTime).empty());
    gatherer.add("bb", t0 + 71 * byteTime, 9600);
    packets = gatherer.take(t0 + 200 * byteTime);
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(packets[0].bytes, "aaaaaabb");
    EXPECT_EQ(packets[0].ready, t0 + 75 * byteTime);

    gatherer.add("late", t0 + 300 * byteTime, 9600);
    EXPECT_EQ(gatherer.take(t0 + 400 * byteTime).at(0).bytes, "late");
    EXPECT_EQ(gatherer.nextDue(), Clock::time_point::max());
}

TEST(RadioAirLoss, DependsOnlyOnSeedAndPacketNumber)
{
    const AirFaults five{5, 0ms, 1};
    int lost = 0;
    for (std::uint64_t n = 0; n < 4000; ++n)
        lost += RadioAir::loses(five, n);
    EXPECT_NEAR(lost / 40.0, 5.0, 1.0);
    AirFaults other = five;
    other.seed = 2;
    int same = 0, differ = 0;
    for (std::uint64_t n = 0; n < 4000; ++n) {
        same += RadioAir::loses(five, n) == RadioAir::loses(five, n);
        differ += RadioAir::loses(five, n) != RadioAir::loses(other, n);
    }
    EXPECT_EQ(same, 4000);
    EXPECT_GT(differ, 100);
    EXPECT_FALSE(RadioAir::loses({0, 0ms, 1}, 3));
}

// Modules of one process on one air in a private directory; each collects what it receives.
class AirTest : public ::testing::Test
{
protected:
    struct Station
    {
        SimulatedModule module;
        std::unique_ptr<RadioAir> radio;
        std::vector<std::string> got;
    };

    ~AirTest() override
    {
        for (auto &station : stations)
            station->radio.reset();
    }

    Station &join(AirFaults faults = {})
    {
        auto station = std::make_unique<Station>();
        station->module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        station->radio = std::make_unique<RadioAir>(
            station->module, directory, "test", faults,
            [this, s = station.get()](std::string payload, Clock::time_point) {
                std::lock_guard lock(mutex);
                s->got.push_back(std::move(payload));
                arrived.notify_all();
            });
        stations.push_back(std::move(station));
        return *stations.back();
    }

    // Waits until station has heard count packets, kept or not.
    bool heard(Station &station, std::uint64_t count)
    {
        const auto deadline = Clock::now() + 5s;
        for (;;) {
            const auto c = station.radio->counts();
            if (c.received + c.ignored >= count)
                return true;
            if (Clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
    }

    std::vector<std::string> received(Station &station)
    {
        std::lock_guard lock(mutex);
        return station.got;
    }

    const PortDirectory ports;
    const std::string directory = ports.path();
    std::vector<std::unique_ptr<Station>> stations;
    std::mutex mutex;
    std::condition_variable arrived;
};

TEST_F(AirTest, APacketReachesOnlyAModuleTheModelLetsItReach)
{
    struct Case
    {
        const char *what;
        std::uint8_t aCode, bCode;
        std::uint8_t aValue, bValue;
    };
    const Case cases[] = {
        {"channel", radio::CodeChannel, radio::CodeChannel, 5, 6},
        {"data rate", radio::CodeDataRate, radio::CodeDataRate, 0, 1},
        {"A's tx-id against B's rx-id", radio::CodeTxId, radio::CodeRxId, 0x11, 0},
        {"A only receives", radio::CodeMode, radio::CodeMode, radio::ModeReceive, radio::ModeAuto},
        {"B only transmits", radio::CodeMode, radio::CodeMode, radio::ModeAuto,
         radio::ModeTransmit},
    };
    Station &a = join();
    Station &b = join();
    std::uint64_t sent = 0;
    for (const Case &c : cases) {
        a.module.setSetting(c.aCode, c.aValue);
        b.module.setSetting(c.bCode, c.bValue);
        a.radio->transmit(c.what, Clock::now());
        ASSERT_TRUE(heard(b, ++sent)) << c.what;
        EXPECT_TRUE(received(b).empty()) << c.what;
        // Mended, the next packet gets through at once.
        b.module.setSetting(c.bCode, c.aValue);
        a.module.setSetting(radio::CodeMode, radio::ModeAuto);
        b.module.setSetting(radio::CodeMode, radio::ModeAuto);
        a.radio->transmit(c.what, Clock::now());
        ASSERT_TRUE(heard(b, ++sent)) << c.what;
        EXPECT_EQ(received(b), std::vector<std::string>{c.what});
        std::lock_guard lock(mutex);
        b.got.clear();
    }
    // A module at SETUP passes nothing on.
    b.module.setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    a.radio->transmit("setup", Clock::now());
    ASSERT_TRUE(heard(b, ++sent));
    EXPECT_TRUE(received(b).empty());
    EXPECT_EQ(a.radio->counts().received, 0u); // nobody hears its own packets
}

TEST_F(AirTest, TheSameSeedLosesTheSamePackets)
{
    const AirFaults faults{30, 0ms, 7};
    Station &a = join(faults);
    Station &b = join();
    a.module.setSetting(radio::CodeBaudrate, 4); // 19200: 100 packets in under 2 s
    std::vector<std::string> expected;
    for (int n = 0; n < 100; ++n) {
        const std::string packet = std::string(29, '.') + std::to_string(100 + n);
        a.radio->transmit(packet, Clock::now());
        if (!RadioAir::loses(faults, n))
            expected.push_back(packet);
    }
    ASSERT_TRUE(heard(b, expected.size()));
    EXPECT_EQ(received(b), expected);
    EXPECT_EQ(a.radio->counts().sent, 100u);
    EXPECT_EQ(a.radio->counts().lost, 100u - expected.size());
}

// A module served on a pty whose radio talks to a far module with a loopback plug.
class LoopbackTest : public AirTest
{
protected:
    LoopbackTest()
    {
        module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        air = std::make_unique<RadioAir>(
            module, directory, "test", AirFaults{},
            [this](std::string payload, Clock::time_point) { port.inject(std::move(payload)); });
        port.setRadio(
            [this](std::string_view bytes, Clock::time_point now) { air->transmit(bytes, now); });
        far.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
        farAir = std::make_unique<RadioAir>(far, directory, "test", AirFaults{}, nullptr);
    }
    ~LoopbackTest() override
    {
        port.stop();
        air.reset();
        farAir.reset();
    }

    // The window's side at speed (the pty keeps any standard speed).
    static void setSpeed(const std::string &path, speed_t speed)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        cfmakeraw(&t);
        cfsetspeed(&t, speed);
        ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
        ::close(fd);
    }

    SimulatedModule module, far;
    SimulatorPort port{module};
    std::unique_ptr<RadioAir> air, farAir;
};

TEST_F(LoopbackTest, TheWindowsSpeedDecidesWhetherTheEchoIsIntactAndItIsPacedAtTheBaud)
{
    SlaveLine line(port.slavePath());
    setSpeed(port.slavePath(), B9600);
    const std::string sent = text + text; // 108 bytes: packets of 32, 32, 32 and 12
    const auto start = Clock::now();
    line.write(sent);
    EXPECT_EQ(line.read(sent.size(), 5s), sent);
    // At 1.04 ms a byte, at the least: all 108 in, the last 12 through the loopback plug and
    // out to the window, and two quiet byte times twice.
    EXPECT_GE(Clock::now() - start, (108 + 12 + 12 + 4) * 1041us);
    EXPECT_EQ(module.runBytes(), sent);

    setSpeed(port.slavePath(), B19200);
    line.write(text);
    const std::string garbled = line.read(1000, 1500ms);
    EXPECT_FALSE(garbled.empty());
    EXPECT_EQ(garbled.find("quick"), std::string::npos) << garbled;
    // Set at 19200, the module understands the window again.
    module.setSetting(radio::CodeBaudrate, 4);
    line.write(text);
    EXPECT_EQ(line.read(text.size(), 5s), text);
}

} // namespace
