// The shared fixture: a module reachable as COM1 through ZEPHRA_PORTS, cleaned up afterwards.
#include "tests/simulator/SlaveLine.h"
#include "tests/support/SimulatorFixture.h"

#include <cstdlib>
#include <filesystem>

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
