// The shared fixture: a module reachable as COM1 through ZEPHRA_PORTS, cleaned up afterwards.
#include "tests/simulator/SlaveLine.h"
#include "tests/support/SimulatorFixture.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class SimulatorFixtureTest : public SimulatorFixture
{
};

TEST_F(SimulatorFixtureTest, ModuleAnswersThroughTheComNameInZephraPorts)
{
    ASSERT_NE(std::getenv("ZEPHRA_PORTS"), nullptr);
    EXPECT_EQ(std::getenv("ZEPHRA_PORTS"), portDirectory());
    EXPECT_EQ(comName(), "COM1");

    module().setSetting(SimulatedModule::CodeRxId, 0x0A);
    SlaveLine line(std::string(std::getenv("ZEPHRA_PORTS")) + "/COM1");
    line.write(hexBytes("02 30 30 30 35 30 30 03 30 35 0D 0A"));
    EXPECT_EQ(line.read(12, 2s), frame("00050A", "0F"));
    EXPECT_EQ(module().receivedFrames().size(), 1u);
}

TEST_F(SimulatorFixtureTest, AHeldLineFillsUpAndALostModuleComesBackUnderItsName)
{
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Run);
    const std::string link = portDirectory() + "/COM1";
    SlaveLine line(link);

    // Held: nothing is read, so the writer's side fills up; released: all of it is taken.
    port().holdReading(true);
    constexpr std::size_t never = 1 << 22;
    std::size_t written = 0;
    while (written < never) {
        const std::size_t n = line.writeSome(std::string(4096, 'x'));
        if (n == 0)
            break;
        written += n;
    }
    ASSERT_LT(written, never) << "the line never filled up";
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(module().runBytes(), "");
    port().holdReading(false);
    EXPECT_TRUE(module().waitForRunBytes(written, 2s));
    EXPECT_EQ(module().runBytes().size(), written);

    // Gone: the open line hangs up at once and the name is removed.
    m_simulator->vanish();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(line.read(1, 60s), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));

    // Back: the same module answers under the same name.
    m_simulator->bringBack();
    module().setSlideSwitch(SimulatedModule::SlideSwitch::Setup);
    SlaveLine again(link);
    again.write(hexBytes("02 30 30 30 35 30 30 03 30 35 0D 0A"));
    EXPECT_EQ(again.read(12, 2s), frame("000500", "05"));
}

TEST(SimulatorEnvironmentLifetime, RestoresZephraPortsAndRemovesTheDirectory)
{
    setenv("ZEPHRA_PORTS", "/previous", 1);
    std::string dir;
    {
        SimulatorEnvironment sim("COM9");
        dir = sim.portDirectory();
        EXPECT_EQ(fs::read_symlink(sim.publishedPath()).string(), sim.port().slavePath());
    }
    EXPECT_STREQ(std::getenv("ZEPHRA_PORTS"), "/previous");
    EXPECT_FALSE(fs::exists(dir));

    unsetenv("ZEPHRA_PORTS");
    {
        SimulatorEnvironment sim;
    }
    EXPECT_EQ(std::getenv("ZEPHRA_PORTS"), nullptr);
}
