// The module served on a pty, driven from the slave side as the window would drive it.
#include "simulator/SimulatorPort.h"
#include "tests/simulator/SlaveLine.h"
#include "tests/support/Activity.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

const std::string readFirmware = hexBytes("02 30 30 30 38 30 30 03 30 38 0D 0A");
const std::string readChannel = hexBytes("02 30 30 30 34 30 30 03 30 34 0D 0A");
const std::string writeChannel100 = hexBytes("02 30 31 30 34 36 34 03 36 31 0D 0A");
const std::string firmwareReply = frame("0008ZEPHRA24 V1.0A", "02");
const std::string channelReply = frame("000400", "04");

template<typename Pred> bool eventually(Pred pred, std::chrono::milliseconds timeout = 2s)
{
    const auto deadline = Clock::now() + timeout;
    while (!pred()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class SimulatorPortTest : public ::testing::Test
{
protected:
    SimulatedModule module;
    SimulatorPort port{module};
};

} // namespace

TEST_F(SimulatorPortTest, AnswersFramesWrittenOneByteAtATime)
{
    SlaveLine line(port.slavePath());
    line.writeBytewise(readFirmware);
    EXPECT_EQ(line.read(firmwareReply.size(), 2s), firmwareReply);
    line.writeBytewise(writeChannel100);
    EXPECT_EQ(line.read(12, 2s), writeChannel100);
    EXPECT_EQ(module.setting(SimulatedModule::CodeRfChannel), 100);

    const auto frames = module.receivedFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes, readFirmware);
    EXPECT_EQ(frames[1].bytes, writeChannel100);
    EXPECT_TRUE(frames[1].accepted);
}

TEST_F(SimulatorPortTest, DelayedAnswerComesNoEarlier)
{
    module.setFaults({.replyDelay = 250ms});
    SlaveLine line(port.slavePath());
    const auto sent = Clock::now();
    line.write(readChannel);
    EXPECT_EQ(line.read(channelReply.size(), 30s), channelReply);
    EXPECT_GE(Clock::now() - sent, 230ms);
}

TEST_F(SimulatorPortTest, SplitAnswerArrivesInPiecesWithGaps)
{
    module.setFaults({.splitAt = {5}, .splitGap = 500ms});
    SlaveLine line(port.slavePath());
    const auto sent = Clock::now();
    line.write(readChannel);
    EXPECT_EQ(line.read(5, 30s), channelReply.substr(0, 5));
    EXPECT_EQ(line.read(channelReply.size() - 5, 30s), channelReply.substr(5));
    EXPECT_GE(Clock::now() - sent, 490ms) << "the rest came before the gap was over";
    // The log is written after each write returns: the reader can be faster than the log.
    ASSERT_TRUE(port.waitForSent(channelReply.size(), 2s));
    EXPECT_EQ(port.sentWrites(),
              (std::vector<std::string>{channelReply.substr(0, 5), channelReply.substr(5)}));
}

TEST_F(SimulatorPortTest, TwoRepliesGoOutInOneWrite)
{
    module.setFaults({.repliesPerWrite = 2});
    SlaveLine line(port.slavePath());
    line.write(readChannel);
    EXPECT_EQ(line.read(1, 100ms), "");
    line.write(readFirmware);
    EXPECT_EQ(line.read(channelReply.size() + firmwareReply.size(), 2s),
              channelReply + firmwareReply);
    ASSERT_TRUE(port.waitForSent(channelReply.size() + firmwareReply.size(), 2s));
    EXPECT_EQ(port.sentWrites(), std::vector<std::string>{channelReply + firmwareReply});
}

TEST_F(SimulatorPortTest, PacedAnswerTakesItsLineTime)
{
    // The reply takes at least its line time. How many writes carry it depends on how late the
    // port's thread wakes: a late one writes everything that fell due meanwhile at once.
    module.setFaults({.paceBps = 1200}); // 12 bytes: 100 ms
    SlaveLine line(port.slavePath());
    auto start = Clock::now();
    line.write(readChannel);
    EXPECT_EQ(line.read(channelReply.size(), 3s), channelReply);
    EXPECT_GE(Clock::now() - start, 90ms);

    module.setFaults({.paceBps = 9600}); // 24 bytes: 25 ms
    start = Clock::now();
    line.write(readFirmware);
    EXPECT_EQ(line.read(firmwareReply.size(), 3s), firmwareReply);
    EXPECT_GE(Clock::now() - start, 22ms);
}

TEST_F(SimulatorPortTest, RunPositionEchoesEvenWhenTheWindowReadsLate)
{
    module.setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    SlaveLine line(port.slavePath());
    line.write("Test Send String\r");
    EXPECT_EQ(line.read(17, 2s), "Test Send String\r");

    // Far more than the pty holds: the port must wait for room, losing nothing.
    std::string data;
    for (int i = 0; i < 60000; ++i)
        data += static_cast<char>(i * 7);
    std::size_t written = 0;
    std::string echoed;
    const auto deadline = Clock::now() + 20s;
    while (echoed.size() < data.size() && Clock::now() < deadline) {
        // Write in bursts and read only now and then, so that the echo backs up.
        for (int burst = 0; burst < 8 && written < data.size(); ++burst)
            written += line.writeSome(std::string_view(data).substr(written, 4096));
        echoed += line.read(data.size() - echoed.size(), 5ms);
    }
    EXPECT_EQ(echoed.size(), data.size());
    EXPECT_TRUE(echoed == data);
    EXPECT_EQ(module.runBytes().size(), 17 + data.size());
}

TEST_F(SimulatorPortTest, KeepsServingAcrossManyOpensAndCloses)
{
    for (int round = 0; round < 25; ++round) {
        SlaveLine probe(port.slavePath()); // a port scan opens and closes without a word
        probe.close();
        SlaveLine line(port.slavePath());
        line.write(readChannel);
        ASSERT_EQ(line.read(channelReply.size(), 2s), channelReply) << "round " << round;
    }
    EXPECT_EQ(module.receivedFrames().size(), 25u);
}

TEST_F(SimulatorPortTest, AnswerDueWhileNobodyListensIsLost)
{
    module.setFaults({.replyDelay = 100ms});
    {
        SlaveLine line(port.slavePath());
        line.write(readChannel);
        ASSERT_TRUE(module.waitForFrames(1, 2s));
    }
    ASSERT_TRUE(eventually([&] { return port.droppedBytes() == channelReply.size(); }));
    EXPECT_TRUE(port.sentWrites().empty());

    module.clearFaults();
    SlaveLine line(port.slavePath());
    EXPECT_EQ(line.read(1, 100ms), "");
    EXPECT_TRUE(port.slaveOpen());
    line.write(readFirmware);
    EXPECT_EQ(line.read(firmwareReply.size(), 2s), firmwareReply);
    port.inject(channelReply + channelReply);
    EXPECT_EQ(line.read(2 * channelReply.size(), 2s), channelReply + channelReply);
    line.close();
    EXPECT_TRUE(eventually([&] { return !port.slaveOpen(); }));
}

TEST_F(SimulatorPortTest, WaitsWithoutSpinningOpenOrClosed)
{
    // Let the thread settle first: nobody holds the slave.
    std::this_thread::sleep_for(50ms);
    auto before = Activity::now();
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(Activity::now().since(before).cpuSeconds, 0.04);

    SlaveLine line(port.slavePath());
    ASSERT_TRUE(eventually([&] { return port.slaveOpen(); }));
    before = Activity::now();
    std::this_thread::sleep_for(400ms);
    EXPECT_LT(Activity::now().since(before).cpuSeconds, 0.04);

    const auto start = Clock::now();
    port.stop();
    EXPECT_LT(Clock::now() - start, 10s) << "the thread was not woken";
}

TEST(SimulatorPortPublishing, LinkFollowsPublishAndIsRemovedAtTheEnd)
{
    namespace fs = std::filesystem;
    const PortDirectory ports;
    const fs::path dir = ports.path();
    fs::create_symlink("/dev/null", dir / "COM1"); // left over from a killed run

    SimulatedModule module;
    {
        SimulatorPort port(module);
        port.publish(dir.string(), "COM1");
        EXPECT_EQ(fs::read_symlink(dir / "COM1").string(), port.slavePath());
        EXPECT_EQ(port.publishedPath(), (dir / "COM1").string());
        {
            SlaveLine line((dir / "COM1").string());
            line.write(readChannel);
            EXPECT_EQ(line.read(channelReply.size(), 2s), channelReply);
        }

        port.publish(dir.string(), "COM7");
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "COM1")));
        EXPECT_EQ(fs::read_symlink(dir / "COM7").string(), port.slavePath());

        // Someone else took the name meanwhile: theirs stays.
        fs::remove(dir / "COM7");
        fs::create_symlink("/dev/null", dir / "COM7");
        port.unpublish();
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir / "COM7")));
        fs::remove(dir / "COM7");

        port.publish(dir.string(), "COM2");
    }
    EXPECT_TRUE(fs::is_empty(dir));

    SimulatorPort port(module);
    EXPECT_THROW(port.publish("/nonexistent/zephra", "COM1"), std::system_error);
}
