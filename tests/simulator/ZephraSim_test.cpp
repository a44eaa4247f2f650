// The zephra-sim program: publishes its pty, answers through the link, removes the link when
// told to stop, and rejects bad command lines.
#include "tests/simulator/SlaveLine.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/PtyPair.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

TEST(ZephraSim, PublishesAnswersAndRemovesItsLinkOnStop)
{
    const PortDirectory ports;
    const fs::path dir = ports.path();
    ChildProcess sim(ZEPHRA_SIM_PROGRAM, {"--ports", dir.string(), "--name", "COM4", "--firmware",
                                          "TEST-CODE-0123", "--set", "4=100"});
    const std::string slave = sim.line();
    ASSERT_EQ(sim.line(), "ready");
    EXPECT_EQ(fs::read_symlink(dir / "COM4").string(), slave);
    {
        SlaveLine line((dir / "COM4").string());
        line.write(hexBytes("02 30 30 30 38 30 30 03 30 38 0D 0A"));
        EXPECT_EQ(line.read(24, 3s), frame("0008TEST-CODE-0123", "13"));
        line.write(hexBytes("02 30 30 30 34 30 30 03 30 34 0D 0A"));
        EXPECT_EQ(line.read(12, 3s), hexBytes("02 30 30 30 34 36 34 03 36 30 0D 0A"));
    }
    sim.signal(SIGTERM);
    EXPECT_EQ(sim.finish(5s), 0);
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST(ZephraSim, HelpAndBadCommandLines)
{
    ChildProcess help(ZEPHRA_SIM_PROGRAM, {"--help"});
    EXPECT_NE(help.line().find("Usage: zephra-sim"), std::string::npos);
    EXPECT_EQ(help.finish(5s), 0);

    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--bogus"},
                                               {"--firmware", "SHORT"},
                                               {"--set", "8=1"},
                                               {"--delay", "abc"},
                                               {"--switch", "middle"},
                                               {"--name"}}) {
        ChildProcess sim(ZEPHRA_SIM_PROGRAM, bad);
        EXPECT_EQ(sim.line(1s), "") << bad[0];
        EXPECT_EQ(sim.finish(5s), 2) << bad[0];
    }
}
